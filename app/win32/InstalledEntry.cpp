// Updates "DisplayVersion" of the installer's entry with the running program's version.
#include "app/win32/InstalledEntry.h"

#include <windows.h>

#include <string>

#include "base/win32/Scoped.h"
#include "engine/ExeVersion.h"

namespace velmora {
namespace {

std::wstring ReadText(HKEY key, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD type = 0, size = sizeof(buffer) - sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return std::wstring(buffer, size / sizeof(wchar_t)).c_str();
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
    path.pop_back();
  return path;
}

}  // namespace

void RecordInstalledVersion() {
  TScopedKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    key.Receive()) != ERROR_SUCCESS)
    return;
  std::wstring exe = OwnModulePath();
  std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
  std::wstring installed = WithoutTrailingSeparator(ReadText(key.Get(), L"InstallLocation"));
  if (!installed.empty() &&
      CompareStringOrdinal(installed.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL) {
    std::wstring text = VersionText(ExeVersion());
    RegSetValueExW(key.Get(), L"DisplayVersion", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
}

}  // namespace velmora
