// Displayed lines of a multi-line edit: EM_GETLINECOUNT counts wrapped lines; the empty line
// after the last line end does not count as a line of the log.
#include "ui/win32/LogMemo.h"

namespace velmora {

int TEditLogMemo::LineCount() {
  int count = static_cast<int>(SendMessageW(FEdit, EM_GETLINECOUNT, 0, 0));
  LRESULT lastStart = SendMessageW(FEdit, EM_LINEINDEX, count - 1, 0);
  if (count > 0 && SendMessageW(FEdit, EM_LINELENGTH, lastStart, 0) == 0)
    --count;
  return count;
}

void TEditLogMemo::AddLine(const std::wstring& text) {
  int end = GetWindowTextLengthW(FEdit);
  SendMessageW(FEdit, EM_SETSEL, end, end);
  std::wstring line = NormalizeLineEnds(text) + L"\r\n";
  SendMessageW(FEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

void TEditLogMemo::DeleteFirstLine() {
  LRESULT second = SendMessageW(FEdit, EM_LINEINDEX, 1, 0);
  if (second <= 0)
    second = GetWindowTextLengthW(FEdit);
  SendMessageW(FEdit, EM_SETSEL, 0, second);
  SendMessageW(FEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

void TEditLogMemo::ScrollLines(int lines) {
  SendMessageW(FEdit, EM_LINESCROLL, 0, lines);
}

}  // namespace velmora
