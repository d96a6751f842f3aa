// The ANSI code page on Windows: the system's, through CP_ACP.
#include "net/AnsiText.h"

#include <windows.h>

namespace velmora::http {

std::string ToAnsi(std::wstring_view text) {
  if (text.empty())
    return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

std::wstring FromAnsi(std::string_view bytes) {
  if (bytes.empty())
    return {};
  int size = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(),
                                 static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), static_cast<int>(bytes.size()),
                      text.data(), size);
  return text;
}

}  // namespace velmora::http
