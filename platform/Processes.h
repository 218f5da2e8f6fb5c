#pragma once
// The process list: ending every process of a given executable, as exit and update do.

#include <string>

namespace smsc {

// Ends (SIGKILL) every running process whose executable file name (without folder) or whose
// full executable path equals the name, ignoring letter case. Never touches pid 1 or a
// process this user may not signal. Returns the result of the last attempt, false when no
// process matched. The calling process itself, if it matches, is ended last with _exit(0)
// (exit code 0, no destructors or atexit handlers) and the call does not return.
bool KillProcessesByName(const std::string& name);

}  // namespace smsc
