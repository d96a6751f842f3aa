// A console program for the runner's tests: writes what its arguments say, in order.
//   bytes N     N bytes of the test pattern to standard output (the pattern runs on across writes)
//   stderr N    the same to standard error
//   oem TEXT    TEXT in the OEM code page
//   cmdline     its own command line, exactly, in the OEM code page
//   pid         its process id and a line feed
//   sleep MS    a pause
//   forever     never ends
#include <windows.h>

#include <cwchar>
#include <string>

#include "base/win32/SystemCodePage.h"

namespace {

size_t patternOffset = 0;

std::string PatternBytes(size_t count) {
  static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string bytes(count, '\0');
  for (char& byte : bytes)
    byte = kAlphabet[patternOffset++ % 36];
  return bytes;
}

void Write(DWORD stream, const std::string& bytes) {
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int index = 1; index < argc; ++index) {
    const std::wstring op = argv[index];
    const bool hasValue = index + 1 < argc;
    if (op == L"bytes" && hasValue) {
      Write(STD_OUTPUT_HANDLE, PatternBytes(wcstoul(argv[++index], nullptr, 10)));
    } else if (op == L"stderr" && hasValue) {
      Write(STD_ERROR_HANDLE, PatternBytes(wcstoul(argv[++index], nullptr, 10)));
    } else if (op == L"oem" && hasValue) {
      Write(STD_OUTPUT_HANDLE, velmora::ToCodePage(CP_OEMCP, argv[++index]));
    } else if (op == L"cmdline") {
      Write(STD_OUTPUT_HANDLE, velmora::ToCodePage(CP_OEMCP, GetCommandLineW()));
    } else if (op == L"pid") {
      Write(STD_OUTPUT_HANDLE, std::to_string(GetCurrentProcessId()) + "\n");
    } else if (op == L"sleep" && hasValue) {
      Sleep(wcstoul(argv[++index], nullptr, 10));
    } else if (op == L"forever") {
      for (;;)
        Sleep(INFINITE);
    } else {
      return 2;
    }
  }
  return 0;
}
