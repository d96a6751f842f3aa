// Takes the place of a system program (schtasks, taskkill) in the installer's tests: records
// which copy was started and how, and keeps the task definition it was handed, which Wine's
// own scheduler reads without its command.
//   VELMORA_RECORD_DIR\runs.log   one line a run: own path, a tab, the command line (UTF-8)
//   VELMORA_RECORD_DIR\task.xml   a copy of the file after /XML, when there is one
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/win32/Scoped.h"

namespace {

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

bool Append(const std::wstring& path, const std::string& bytes) {
  velmora::TScopedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file)
    return false;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

int wmain() {
  wchar_t folder[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"VELMORA_RECORD_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return 1;
  std::wstring dir(folder, length);
  if (dir.back() != L'\\')
    dir += L'\\';
  wchar_t self[MAX_PATH];
  DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = std::wstring(self, selfLength) + L"\t" + GetCommandLineW() + L"\n";
  if (!Append(dir + L"runs.log", Utf8(line)))
    return 1;
  int count = 0;
  velmora::TLocalMemory<wchar_t*> args(CommandLineToArgvW(GetCommandLineW(), &count));
  for (int i = 1; args && i + 1 < count; ++i) {
    if (lstrcmpiW(args.Get()[i], L"/XML") == 0 &&
        !CopyFileW(args.Get()[i + 1], (dir + L"task.xml").c_str(), FALSE))
      return 1;
  }
  return 0;
}
