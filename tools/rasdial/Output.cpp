// Console output of the stand-in dialer: UTF-16 lines to OEM bytes, one WriteFile per burst.
#include "tools/rasdial/Output.h"

namespace rasdial {
namespace {

std::string ToOem(const std::wstring& text) {
  if (text.empty())
    return std::string();
  const UINT codePage = GetOEMCP();
  const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

void WriteOut(const std::wstring& text) {
  const std::string bytes = ToOem(text);
  if (bytes.empty())
    return;
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

}  // namespace

void Play(const TScript& script, int bursts, DWORD gapMs) {
  const size_t total = script.HangAtEnd ? script.HangAfter : script.Lines.size();
  std::map<size_t, DWORD> pauses = script.PauseAfter;
  if (bursts > 1 && total > 1) {
    const size_t perBurst = (total + bursts - 1) / bursts;
    for (size_t written = perBurst; written < total; written += perBurst)
      pauses[written] += gapMs;
  }

  std::wstring pending;
  for (size_t index = 0; index < total; ++index) {
    pending += script.Lines[index] + L"\r\n";
    const auto pause = pauses.find(index + 1);
    if (pause != pauses.end() && index + 1 < total) {
      WriteOut(pending);
      pending.clear();
      Sleep(pause->second);
    }
  }
  WriteOut(pending);
  if (script.HangAtEnd) {
    for (;;)
      Sleep(INFINITE);
  }
}

}  // namespace rasdial
