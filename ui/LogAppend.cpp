// The log append and the line-end normalisation of texts that go into the log memo.
#include "ui/LogAppend.h"

namespace velmora {

void AppendToLog(ILogMemo& memo, const std::wstring& text, bool trim) {
  memo.AddLine(text);
  if (!trim)
    return;
  int lines = memo.LineCount();
  while (lines > kLogMaxLines) {
    memo.DeleteFirstLine();
    int left = memo.LineCount();
    if (left >= lines)
      break;  // the memo would not shrink: never loop for ever
    lines = left;
  }
  memo.ScrollLines(lines - 1);
}

std::wstring NormalizeLineEnds(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r') {
      out += L"\r\n";
      if (i + 1 < text.size() && text[i + 1] == L'\n')
        ++i;
    } else if (c == L'\n') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace velmora
