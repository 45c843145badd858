#include "session/UndoHistory.h"

namespace kinetar::session {

UndoHistory::UndoHistory(QObject* parent) : QObject(parent) {}

UndoHistory::~UndoHistory() = default;

void UndoHistory::Push(std::unique_ptr<UndoStep> step)
{
    const State before = Now();
    // A saved state among the dropped steps can no longer be reached.
    if (m_cleanIndex > m_index) {
        m_cleanIndex = -1;
    }
    m_steps.erase(m_steps.begin() + m_index, m_steps.end());
    m_steps.push_back(std::move(step));
    m_index = Count();
    Announce(before);
}

void UndoHistory::Undo()
{
    if (!CanUndo()) {
        return;
    }
    const State before = Now();
    m_steps[static_cast<std::size_t>(m_index - 1)]->Undo();
    --m_index;
    Announce(before);
}

void UndoHistory::Redo()
{
    if (!CanRedo()) {
        return;
    }
    const State before = Now();
    m_steps[static_cast<std::size_t>(m_index)]->Redo();
    ++m_index;
    Announce(before);
}

void UndoHistory::SetClean()
{
    const State before = Now();
    m_cleanIndex = m_index;
    Announce(before);
}

void UndoHistory::ResetClean()
{
    const State before = Now();
    m_cleanIndex = -1;
    Announce(before);
}

void UndoHistory::Clear()
{
    const State before = Now();
    m_steps.clear();
    m_index = 0;
    m_cleanIndex = 0;
    Announce(before);
}

void UndoHistory::Announce(const State& before)
{
    const State now = Now();
    if (now.CanUndo != before.CanUndo) {
        emit CanUndoChanged(now.CanUndo);
    }
    if (now.CanRedo != before.CanRedo) {
        emit CanRedoChanged(now.CanRedo);
    }
    if (now.Clean != before.Clean) {
        emit CleanChanged(now.Clean);
    }
}

}  // namespace kinetar::session
