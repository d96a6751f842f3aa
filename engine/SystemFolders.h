// The system's own folders, asked of the system rather than read from the environment, which
// any program of the user may set for the elevated program to follow.
#pragma once

#include <string>

namespace velmora {

// The system folder (GetSystemDirectoryW), where the dialer lives; a 32-bit process on a
// 64-bit system is redirected from it as usual. Empty when the system gives none.
std::wstring SystemFolder();

// The folder of data shared by all users (the known folder FOLDERID_ProgramData); the
// phonebook lies under it. Empty when the system gives none.
std::wstring AllUsersDataFolder();

}  // namespace velmora
