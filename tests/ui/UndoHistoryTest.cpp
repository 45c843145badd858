#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "session/UndoHistory.h"

namespace kinetar::test {
namespace {

using session::UndoHistory;

// A step that writes what was done to it into the log, and fails when told to.
class LoggedStep : public session::UndoStep {
public:
    LoggedStep(std::string& log, int number, const bool& fail) : m_log(log), m_number(number), m_fail(fail) {}
    void Undo() override { Note('u'); }
    void Redo() override { Note('r'); }

private:
    void Note(char what)
    {
        if (m_fail) {
            throw std::runtime_error("disk gone");
        }
        m_log += what + std::to_string(m_number) + " ";
    }
    std::string& m_log;
    int m_number;
    const bool& m_fail;
};

// The history after a list of moves: p pushes the next step, u undoes, r redoes, s marks the state
// saved, x marks none saved, c clears. Signals are logged as U/R/C with 1 or 0.
TEST(UndoHistoryTest, MovesThroughTheSteps)
{
    struct Row {
        const char* moves;
        int count, index;
        bool clean;
        const char* steps;  // what the steps were asked to do
        const char* said;   // what the history said, in order
    };
    const Row rows[] = {
        {"", 0, 0, true, "", ""},
        {"u r", 0, 0, true, "", ""},
        {"p", 1, 1, false, "", "U1 C0 "},
        {"p u", 1, 0, true, "u1 ", "U1 C0 U0 R1 C1 "},
        {"p u r", 1, 1, false, "u1 r1 ", "U1 C0 U0 R1 C1 U1 R0 C0 "},
        {"p p u p", 2, 2, false, "u2 ", "U1 C0 R1 R0 "},  // the undone step is dropped
        {"p s p u", 2, 1, true, "u2 ", "U1 C0 C1 C0 R1 C1 "},
        // The saved state's step is dropped: no state is saved any more.
        {"p p s u u p u", 1, 0, false, "u2 u1 u3 ", "U1 C0 C1 R1 C0 U0 U1 R0 U0 R1 "},
        {"p s x", 1, 1, false, "", "U1 C0 C1 C0 "},
        {"p x u", 1, 0, false, "u1 ", "U1 C0 U0 R1 "},
        {"p p u c", 0, 0, true, "u2 ", "U1 C0 R1 U0 R0 C1 "},
        {"x c", 0, 0, true, "", "C0 C1 "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.moves);
        UndoHistory history;
        std::string steps, said;
        const bool fail = false;
        const auto note = [&said](char what) {
            return [&said, what](bool on) { said += what + std::string(on ? "1 " : "0 "); };
        };
        QObject::connect(&history, &UndoHistory::CanUndoChanged, note('U'));
        QObject::connect(&history, &UndoHistory::CanRedoChanged, note('R'));
        QObject::connect(&history, &UndoHistory::CleanChanged, note('C'));
        int pushed = 0;
        for (const char* move = row.moves; *move != '\0'; ++move) {
            switch (*move) {
            case 'p':
                history.Push(std::make_unique<LoggedStep>(steps, ++pushed, fail));
                break;
            case 'u':
                history.Undo();
                break;
            case 'r':
                history.Redo();
                break;
            case 's':
                history.SetClean();
                break;
            case 'x':
                history.ResetClean();
                break;
            case 'c':
                history.Clear();
                break;
            default:
                break;
            }
        }
        EXPECT_EQ(history.Count(), row.count);
        EXPECT_EQ(history.Index(), row.index);
        EXPECT_EQ(history.CanUndo(), row.index > 0);
        EXPECT_EQ(history.CanRedo(), row.index < row.count);
        EXPECT_EQ(history.IsClean(), row.clean);
        EXPECT_EQ(steps, row.steps);
        EXPECT_EQ(said, row.said);
    }
}

// A step that cannot be undone or redone leaves the history where it stood, to be tried again.
TEST(UndoHistoryTest, AFailedStepKeepsItsPlace)
{
    UndoHistory history;
    std::string steps;
    bool fail = false;
    history.Push(std::make_unique<LoggedStep>(steps, 1, fail));
    history.SetClean();
    history.Push(std::make_unique<LoggedStep>(steps, 2, fail));
    fail = true;
    EXPECT_THROW(history.Undo(), std::runtime_error);
    EXPECT_EQ(history.Index(), 2);
    EXPECT_FALSE(history.IsClean());
    fail = false;
    history.Undo();
    EXPECT_TRUE(history.IsClean());
    fail = true;
    EXPECT_THROW(history.Redo(), std::runtime_error);
    EXPECT_EQ(history.Index(), 1);
    EXPECT_EQ(steps, "u2 ");
}

}  // namespace
}  // namespace kinetar::test
