// ANSI <-> UTF-16 with the system's conversions in the ANSI code page (CP_ACP).
#include "engine/CodePage.h"

#include <windows.h>

namespace velmora {

namespace {
std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}
}  // namespace

std::wstring AnsiToWide(std::string_view text) {
  text = UpToZero(text);
  if (text.empty())
    return {};
  const int length = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()),
                        wide.data(), length);
  }
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty())
    return {};
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string ansi(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), length,
                        nullptr, nullptr);
  }
  return ansi;
}

}  // namespace velmora
