#pragma once
// The process list: ending the processes of a given executable, as exit and update do.

#include <string>

namespace smsc {

// Ends (SIGKILL) every running process whose executable file name (without folder) or whose
// full executable path equals the name, ignoring letter case. Never touches pid 1 or a
// process this user may not signal. Returns the result of the last attempt, false when no
// process matched. The calling process itself, if it matches, is ended last with _exit(0)
// (exit code 0, no destructors or atexit handlers) and the call does not return.
bool KillProcessesByName(const std::string& name);

// What exit and update end: every other process of the calling user (the same real user id)
// whose executable is the file at exactly this path (a replaced file, "(deleted)", still
// counts), then the calling process itself, last and as KillProcessesByName ends it, when it
// runs that file. Copies in other folders and other users' processes are never touched, so
// on a shared machine one user's exit cannot end a colleague's client. Returns the result of
// the last attempt, false when no other process matched.
bool EndOwnCopies(const std::string& executablePath);

}  // namespace smsc
