// The program's entry in the system's list of installed programs, made by the installer: after
// a successful start the program writes its own version there, so that an update it installed
// itself shows up. Only an entry whose install folder is this program's folder is touched.
#pragma once

namespace velmora {

// The entry's key under HKEY_LOCAL_MACHINE, as the installer writes it.
inline constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmoraConnector";

// Writes "DisplayVersion" when the entry exists and names this program's folder. Windows only.
void RecordInstalledVersion();

}  // namespace velmora
