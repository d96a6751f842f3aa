// The log page's multi-line edit as the log append sees it: displayed (wrapped) lines.
#pragma once

#include <windows.h>

#include "ui/LogAppend.h"

namespace velmora {

class TEditLogMemo : public ILogMemo {
 public:
  explicit TEditLogMemo(HWND edit) : FEdit(edit) {}
  int LineCount() override;
  void AddLine(const std::wstring& text) override;
  void DeleteFirstLine() override;
  void ScrollLines(int lines) override;

 private:
  HWND FEdit;
};

}  // namespace velmora
