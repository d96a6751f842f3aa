// Text of URLs and answers in the system's ANSI code page: what goes on the wire is 8-bit.
#pragma once

#include <string>
#include <string_view>

namespace velmora::http {

// Characters the code page lacks become "?".
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

}  // namespace velmora::http
