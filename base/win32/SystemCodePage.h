// Text in any of the system's code pages by number (CP_ACP, CP_OEMCP, CP_UTF8, 866, ...): the
// one home of the system's conversion calls, for the program, its tests and the UI driver.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Characters the code page lacks become a best-fit stand-in or its default character.
std::string ToCodePage(UINT codePage, std::wstring_view text);
std::wstring FromCodePage(UINT codePage, std::string_view bytes);
// Nullopt when a character has no exact form in the code page (neither stand-in nor default).
std::optional<std::string> ToCodePageExactly(UINT codePage, std::wstring_view text);

inline std::string ToUtf8(std::wstring_view text) {
  return ToCodePage(CP_UTF8, text);
}

// Console output in the OEM code page as ANSI text, as the system's own OEM-to-ANSI call
// gives it; up to the first zero byte.
std::string OemToAnsi(std::string_view bytes);

}  // namespace velmora
