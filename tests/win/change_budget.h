// Ends a run of the engine after its k-th change to the system, as if the
// process had died there: once armed, the next k changes go through and every
// later one fails. A change is a registry key created, a value set or deleted,
// a key deleted, a file created for writing, written, copied, moved, deleted
// or registered for the next restart, a folder made or removed, a temporary
// file made, a shortcut made.
//
// The calls are caught at this program's import table, where the engine's
// calls to the system leave it, so the product carries no hook of its own; a
// function the engine loads at run time is caught where it asks for it. The
// system's own libraries call each other directly and are not counted. Only
// the engine runs while armed: disarm before the test looks at the results.
#pragma once

#include <string>
#include <vector>

namespace changebudget {

// Lets `changes` more changes through, then fails every one.
void Arm(int changes);
// Counts changes without limit.
void ArmUnlimited();
// Everything goes through uncounted.
void Disarm();
// The changes made since the last Arm.
int Made();
// The calls seen since the last Arm, by function name, in order: the changes
// (made or failed) and the switching of the thread's file-system redirection.
const std::vector<std::string>& Calls();

}  // namespace changebudget
