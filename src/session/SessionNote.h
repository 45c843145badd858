#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kinetar::session {

// What a window with an open project keeps in the user's state folder, so that a start after a
// crash finds the unsaved changes: the project, its working copy and the process. Paths are the
// file system's bytes.
struct SessionNote {
    long Pid = 0;
    std::string Project;
    std::string WorkingCopy;
};

// $XDG_STATE_HOME/kinetar, or ~/.local/state/kinetar.
std::filesystem::path SessionNoteFolder();
// One note per process.
std::filesystem::path SessionNotePath(long pid);

// Replaces the process's note in one step, so a reader finds the old note or the new one. False
// when it cannot be written: the project is edited all the same, only without this safety net.
bool WriteSessionNote(const SessionNote& note);
void RemoveSessionNote(long pid);
// Every note in the folder. One whose text cannot be read comes with an empty project and working
// copy.
std::vector<SessionNote> ReadSessionNotes();

}  // namespace kinetar::session
