// The code pages on Windows: the system's conversions; ANSI is the system's CP_ACP.
#include "base/CodePage.h"
#include "base/win32/SystemCodePage.h"

namespace velmora {
namespace {

// usedDefault: set when a character had no exact form (only with WC_NO_BEST_FIT_CHARS).
std::string Convert(UINT codePage, DWORD flags, std::wstring_view text, BOOL* usedDefault) {
  if (text.empty())
    return {};
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr,
                      usedDefault);
  return bytes;
}

}  // namespace

std::string ToCodePage(UINT codePage, std::wstring_view text) {
  return Convert(codePage, 0, text, nullptr);
}

std::wstring FromCodePage(UINT codePage, std::string_view bytes) {
  if (bytes.empty())
    return {};
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
  return text;
}

std::optional<std::string> ToCodePageExactly(UINT codePage, std::wstring_view text) {
  BOOL replaced = FALSE;
  std::string bytes = Convert(codePage, WC_NO_BEST_FIT_CHARS, text, &replaced);
  if (replaced)
    return std::nullopt;
  return bytes;
}

std::string OemToAnsi(std::string_view bytes) {
  std::string text(bytes.substr(0, bytes.find('\0')));
  OemToCharBuffA(text.data(), text.data(), static_cast<DWORD>(text.size()));  // in place
  return text;
}

std::string WideToAnsi(std::wstring_view text) {
  return ToCodePage(CP_ACP, text);
}

std::wstring AnsiBytesToWide(std::string_view bytes) {
  return FromCodePage(CP_ACP, bytes);
}

}  // namespace velmora
