// Reads version records through the system's version API (version.dll).
#include "engine/ExeVersion.h"

#include <windows.h>

#include <vector>

#include "base/win32/SystemCodePage.h"

namespace velmora {
namespace {

TExeVersion gExeVersion;

[[noreturn]] void ThrowNoVersion(const std::wstring& path) {
  std::wstring message = L"Can't get file version information for " + path;
  throw EExeVersionError(ToUtf8(message), message);
}

}  // namespace

std::wstring OwnModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

TExeVersion GetExeVersion(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0)
    ThrowNoVersion(path);

  std::vector<BYTE> record(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data()) ||
      !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    ThrowNoVersion(path);
  }
  return MakeExeVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

void LoadExeVersion() {
  gExeVersion = GetExeVersion(OwnModulePath());
}

const TExeVersion& ExeVersion() {
  return gExeVersion;
}

}  // namespace velmora
