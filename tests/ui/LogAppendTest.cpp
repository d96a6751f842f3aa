// The log keeps its latest 50 displayed lines (wrapped lines count one by one) and scrolls
// the newest into view.
#include "ui/LogAppend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

// A memo that wraps its lines at Width characters, like the multi-line edit of the log page.
class TWrappingMemo : public ILogMemo {
 public:
  explicit TWrappingMemo(size_t width) : FWidth(width) {}

  int LineCount() override { return static_cast<int>(Displayed().size()); }
  void AddLine(const std::wstring& text) override { FLines.push_back(text); }
  void DeleteFirstLine() override {
    std::wstring& first = FLines.front();
    if (first.size() > FWidth)
      first.erase(0, FWidth);
    else
      FLines.erase(FLines.begin());
  }
  void ScrollLines(int lines) override { Scrolls.push_back(lines); }

  std::vector<std::wstring> Displayed() const {
    std::vector<std::wstring> shown;
    for (const std::wstring& line : FLines) {
      if (line.empty())
        shown.push_back(line);
      for (size_t at = 0; at < line.size(); at += FWidth)
        shown.push_back(line.substr(at, FWidth));
    }
    return shown;
  }

  std::vector<int> Scrolls;

 private:
  size_t FWidth;
  std::vector<std::wstring> FLines;
};

TEST(LogAppend, KeepsTheLatestFiftyLinesAndScrollsToTheNewest) {
  TWrappingMemo memo(40);
  for (int i = 1; i <= 60; ++i)
    AppendToLog(memo, L"line " + std::to_wstring(i));
  std::vector<std::wstring> shown = memo.Displayed();
  ASSERT_EQ(shown.size(), 50u);
  EXPECT_EQ(shown.front(), L"line 11");
  EXPECT_EQ(shown.back(), L"line 60");
  EXPECT_EQ(memo.Scrolls.back(), 49);
}

TEST(LogAppend, ScrollsByLinesMinusOneBeforeTheLogIsFull) {
  TWrappingMemo memo(40);
  AppendToLog(memo, L"first");
  AppendToLog(memo, L"second");
  EXPECT_EQ(memo.Scrolls, (std::vector<int>{0, 1}));
}

TEST(LogAppend, WrappedTextCountsItsDisplayedLinesAndLosesItsOldestPart) {
  TWrappingMemo memo(10);
  AppendToLog(memo, std::wstring(30, L'a'));  // three displayed lines
  for (int i = 0; i < 48; ++i)
    AppendToLog(memo, L"x");
  ASSERT_EQ(memo.LineCount(), 50);
  AppendToLog(memo, L"new");
  std::vector<std::wstring> shown = memo.Displayed();
  ASSERT_EQ(shown.size(), 50u);
  EXPECT_EQ(shown.front(), std::wstring(10, L'a'));  // one part of the long text went
  EXPECT_EQ(shown.back(), L"new");
}

TEST(LogAppend, DialOutputIsTrimmedTogetherWithItsSeparator) {
  TWrappingMemo memo(80);
  for (int i = 0; i < 50; ++i)
    AppendToLog(memo, L"old");
  AppendToLog(memo, L"output", /*trim=*/false);
  EXPECT_EQ(memo.LineCount(), 51);  // nothing trimmed yet
  AppendToLog(memo, L"------------------------");
  std::vector<std::wstring> shown = memo.Displayed();
  ASSERT_EQ(shown.size(), 50u);
  EXPECT_EQ(shown[48], L"output");
  EXPECT_EQ(shown[49], L"------------------------");
}

TEST(LogAppend, LineEndsBecomeCrLf) {
  struct TCase {
    std::wstring In, Out;
  };
  const TCase cases[] = {{L"", L""},
                         {L"a", L"a"},
                         {L"a\r\nb", L"a\r\nb"},
                         {L"a\nb\n", L"a\r\nb\r\n"},
                         {L"a\rb", L"a\r\nb"},
                         {L"a\n\r\nb", L"a\r\n\r\nb"}};
  for (const TCase& c : cases)
    EXPECT_EQ(NormalizeLineEnds(c.In), c.Out);
}

}  // namespace
}  // namespace velmora
