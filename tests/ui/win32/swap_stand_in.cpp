// Stands in for the program in the swap script's test. "hold MS": opens its own file without
// delete sharing, as the program does before it starts the script, notes "<its file>.holding"
// and stays MS milliseconds. Without arguments, as the script starts the program: writes its
// own size into "<its file>.ran" and ends.
#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

int wmain(int argc, wchar_t** argv) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path = self;
  if (argc >= 3 && std::wcscmp(argv[1], L"hold") == 0) {
    HANDLE own = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (own == INVALID_HANDLE_VALUE)
      return 1;
    std::ofstream(std::filesystem::path(path + L".holding")) << "held";
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    return 0;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(self, GetFileExInfoStandard, &data);
  std::ofstream(std::filesystem::path(path + L".ran")) << data.nFileSizeLow;
  return 0;
}
