// The log append: the log memo keeps its latest 50 displayed lines, the newest in view.
#pragma once

#include <string>

namespace velmora {

inline constexpr int kLogMaxLines = 50;

// The log memo as the append sees it. Lines are displayed lines: a long text wrapped at the
// memo's width takes several. A trailing empty line after the last line end is not counted.
class ILogMemo {
 public:
  virtual ~ILogMemo() = default;
  virtual int LineCount() = 0;
  virtual void AddLine(const std::wstring& text) = 0;  // the text and a line end at the end
  virtual void DeleteFirstLine() = 0;
  virtual void ScrollLines(int lines) = 0;  // vertical line scroll (EM_LINESCROLL)
};

// Adds text as a new line at the end; then, when trim is set, deletes first lines while more
// than kLogMaxLines remain and scrolls by (lines - 1) so the newest line is in view.
void AppendToLog(ILogMemo& memo, const std::wstring& text, bool trim = true);

// Line ends as the edit control needs them: every lone CR or LF becomes CR LF.
std::wstring NormalizeLineEnds(const std::wstring& text);

}  // namespace velmora
