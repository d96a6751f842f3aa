// The console readers' view of ANSI text: the wire's conversion, cut at the terminating zero.
#include "base/CodePage.h"

namespace velmora {

std::wstring AnsiToWide(std::string_view text) {
  return AnsiBytesToWide(text.substr(0, text.find('\0')));
}

}  // namespace velmora
