// The console readers' view of the ANSI code page: the same conversion as the wire text of
// the HTTP client, cut at the chunk's terminating zero.
#include "engine/CodePage.h"

#include "net/AnsiText.h"

namespace velmora {

std::wstring AnsiToWide(std::string_view text) {
  return http::FromAnsi(text.substr(0, text.find('\0')));
}

std::string WideToAnsi(std::wstring_view text) {
  return http::ToAnsi(text);
}

}  // namespace velmora
