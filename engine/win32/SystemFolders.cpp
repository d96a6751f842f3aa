// SystemFolder and AllUsersDataFolder on GetSystemDirectoryW and SHGetKnownFolderPath.
#include "engine/SystemFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "base/win32/Scoped.h"

namespace velmora {

std::wstring SystemFolder() {
  std::wstring folder(MAX_PATH, L'\0');
  for (;;) {
    // On success: the length without the zero; when the buffer is short: the size it needs.
    const UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (length == 0)
      return {};
    if (length < folder.size()) {
      folder.resize(length);
      return folder;
    }
    folder.assign(length, L'\0');
  }
}

std::wstring AllUsersDataFolder() {
  // Freed also after a failure, as the call asks.
  TCoTaskMemory<wchar_t> path;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramData, KF_FLAG_DEFAULT, nullptr, path.Receive())))
    return {};
  return path.Get();
}

}  // namespace velmora
