// Entry of the stand-in dialer: for now it answers every command with an empty listing.
#include <windows.h>

int wmain() {
  static const char kText[] = "No connections\r\nCommand completed successfully.\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kText, sizeof(kText) - 1, &written, nullptr);
  return 0;
}
