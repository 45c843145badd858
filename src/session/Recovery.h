#pragma once

#include <string>
#include <vector>

#include "session/SessionNote.h"

namespace kinetar::session {

// What a start finds of windows that ended without closing their projects.
struct RecoveryPlan {
    // Working copies of gone processes that differ from their projects: the user decides.
    std::vector<SessionNote> Recoverable;
    // Notes of gone processes with nothing to recover: the working copy is gone or equals the project.
    std::vector<long> StaleNotes;
    // Working copies of gone processes with nothing to recover, or that no note names.
    std::vector<std::string> StaleWorkingCopies;
};

// Reads the notes and the temporary folder. Notes and working copies of running processes, other
// windows' among them, are never part of the plan.
RecoveryPlan PlanRecovery();
// Removes the stale notes and working copies.
void RemoveStale(const RecoveryPlan& plan);
// Removes a note and the working copy it names.
void DiscardSession(const SessionNote& note);

// The process id in a working copy's name ("AVI<pid>.xxxxxx"); 0 when the name is not one.
long WorkingCopyOwner(const std::string& path);

}  // namespace kinetar::session
