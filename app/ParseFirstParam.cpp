// The command-line split used by the elevated relaunch.
#include "app/ParseFirstParam.h"

namespace velmora::app {

namespace {
constexpr wchar_t kQuote = L'"';

bool IsBlankOrControl(wchar_t c) {
  return static_cast<unsigned>(c) <= 32;
}
}  // namespace

const wchar_t* ParseFirstParam(const wchar_t* commandLine, std::wstring& firstParam) {
  firstParam.clear();
  const wchar_t* p = commandLine;
  // Leading blanks and empty quoted pairs belong to no argument.
  while (*p != 0) {
    if (IsBlankOrControl(*p)) {
      ++p;
    } else if (p[0] == kQuote && p[1] == kQuote) {
      p += 2;
    } else {
      break;
    }
  }
  while (*p != 0 && !IsBlankOrControl(*p)) {
    if (*p != kQuote) {
      firstParam += *p++;
      continue;
    }
    ++p;  // a quoted section runs to the next quote or to the end of the text
    while (*p != 0 && *p != kQuote) {
      firstParam += *p++;
    }
    if (*p == kQuote) {
      ++p;
    }
  }
  return p;
}

TProgramPath SplitProgramPath(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\:");
  if (cut == std::wstring::npos) {
    return {path, L""};
  }
  return {path.substr(cut + 1), path.substr(0, cut + 1)};
}

TRelaunchCommand MakeRelaunchCommand(const wchar_t* commandLine) {
  std::wstring firstParam;
  const wchar_t* rest = ParseFirstParam(commandLine, firstParam);
  TProgramPath parts = SplitProgramPath(firstParam);
  return {std::move(parts.FileName), rest, std::move(parts.Directory)};
}

}  // namespace velmora::app
