// Text in the ANSI code page, the 8-bit form of the wire, the dialer's output and the
// environment: the system's code page on Windows, Windows-1251 (the subscribers' systems')
// elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Characters the code page lacks become "?".
std::string WideToAnsi(std::wstring_view text);
// Every byte, zero bytes included: text from the wire.
std::wstring AnsiBytesToWide(std::string_view bytes);
// Up to the first zero byte (or the end): console output, which arrives zero-terminated.
std::wstring AnsiToWide(std::string_view text);

}  // namespace velmora
