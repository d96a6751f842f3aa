// Quoting by the C runtime's rules: backslashes are literal unless a quote follows them.
#include "engine/ArgumentQuote.h"

namespace velmora {

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
    return argument;  // plain values go out byte for byte as they always did
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t character : argument) {
    if (character == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled and the quote escaped; elsewhere they stay.
    quoted.append(character == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    quoted += character;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, L'\\');  // the closing quote follows them
  quoted += L'"';
  return quoted;
}

}  // namespace velmora
