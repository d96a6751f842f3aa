// Administrator rights of the running process: the test, the debug privilege and the
// elevated relaunch, all run on the main thread before any window exists.
#pragma once

#include <windows.h>

#include <string>

namespace velmora::app {

// Non-zero when the process runs with administrator rights; 0 when that cannot be decided.
BOOL IsAdministrator();
// Membership in a built-in group (token 0: the calling thread's effective token).
BOOL TestTokenMembership(HANDLE token, DWORD rid);
// CheckTokenMembership when the system exports it, otherwise its AccessCheck emulation.
BOOL CheckMembership(HANDLE token, PSID sid, BOOL* isMember);

// Switches "SeDebugPrivilege" in the process token. Returns false silently when the token
// or the privilege is unavailable; when the adjustment itself fails it also fills error
// with the system's message for the failure.
bool EnableDebugPrivilege(bool enable, std::wstring* error = nullptr);

// Starts the running executable again with the verb "runas" and the arguments of this
// start passed on unchanged, leaving the started copy a mark that it is a relaunch
// (StartedByRelaunch) until it has seen it. The result is ignored: the caller ends either way.
void RunElevated();

}  // namespace velmora::app
