#pragma once

#include <QObject>
#include <memory>
#include <vector>

namespace kinetar::session {

// One step of the history, made before it is added: undoing it puts back the state before it,
// redoing it the state after it.
class UndoStep {
public:
    virtual ~UndoStep() = default;
    virtual void Undo() = 0;
    virtual void Redo() = 0;
};

// The steps of the edits in order and where the user stands among them: the steps before the
// index are done, those after it undone. The clean index is where the project was last saved (-1:
// no step leads back there). A step that fails to undo or redo raises its error and the index
// stays where it was.
class UndoHistory : public QObject {
    Q_OBJECT

public:
    explicit UndoHistory(QObject* parent = nullptr);
    ~UndoHistory() override;

    // Adds a step already made after the index; the undone steps are dropped.
    void Push(std::unique_ptr<UndoStep> step);
    void Undo();
    void Redo();

    bool CanUndo() const { return m_index > 0; }
    bool CanRedo() const { return m_index < Count(); }
    int Count() const { return static_cast<int>(m_steps.size()); }
    int Index() const { return m_index; }
    bool IsClean() const { return m_index == m_cleanIndex; }
    // The state now is the saved one.
    void SetClean();
    // No state is the saved one: nothing in the history leads back to the saved file.
    void ResetClean();
    // No steps; the state now is the saved one.
    void Clear();

signals:
    void CanUndoChanged(bool canUndo);
    void CanRedoChanged(bool canRedo);
    void CleanChanged(bool clean);

private:
    struct State {
        bool CanUndo = false;
        bool CanRedo = false;
        bool Clean = true;
    };
    State Now() const { return {CanUndo(), CanRedo(), IsClean()}; }
    // Says what changed for the user since `before`.
    void Announce(const State& before);

    std::vector<std::unique_ptr<UndoStep>> m_steps;
    int m_index = 0;
    int m_cleanIndex = 0;
};

}  // namespace kinetar::session
