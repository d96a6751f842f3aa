// Conversions between the program's UTF-16 text and 8-bit text in the system's ANSI code
// page, the form in which console output reaches the program.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Converts ANSI text up to its first zero byte (or its end).
std::wstring AnsiToWide(std::string_view text);
// Characters the code page lacks become the system's default character ("?").
std::string WideToAnsi(std::wstring_view text);

}  // namespace velmora
