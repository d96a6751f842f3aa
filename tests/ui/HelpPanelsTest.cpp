// The help page's panels: one open at a time, scrolled into view, wheel steps of 8 pixels.
#include "ui/HelpPanels.h"

#include <gtest/gtest.h>

#include "ui/HelpTexts.h"

namespace velmora {
namespace {

constexpr int kView = 336;

THelpPanelGroup Panels() {
  std::vector<int> heights;
  for (const THelpPanel& panel : kHelpPanels)
    heights.push_back(panel.OpenHeight);
  return THelpPanelGroup(heights, kView);
}

TEST(HelpPanels, StartWithTheFirstOpenAndAScrollBar) {
  THelpPanelGroup group = Panels();
  EXPECT_TRUE(group.IsOpen(0));
  for (int i = 1; i < group.Count(); ++i)
    EXPECT_FALSE(group.IsOpen(i));
  EXPECT_EQ(group.ContentHeight(), 215 + 5 * 30);
  EXPECT_TRUE(group.HasScrollBar());
  EXPECT_EQ(group.ScrollPos(), 0);
}

TEST(HelpPanels, OpeningOneClosesTheOthersAndScrollsItsTopIntoView) {
  THelpPanelGroup group = Panels();
  group.Toggle(5);  // "Ошибка 678", 420 pixels
  for (int i = 0; i < 5; ++i)
    EXPECT_FALSE(group.IsOpen(i));
  EXPECT_EQ(group.Height(5), 420);
  EXPECT_EQ(group.ScrollPos(), group.Top(5));  // its top at the top of the page
  EXPECT_EQ(group.MaxScroll(), 5 * 30 + 420 - kView);

  group.Toggle(0);
  EXPECT_EQ(group.Height(0), 215);
  EXPECT_FALSE(group.IsOpen(5));
  EXPECT_EQ(group.ScrollPos(), 0);
}

TEST(HelpPanels, ClosingTheOnlyOpenPanelLeavesSixHeadersAndNoScrollBar) {
  THelpPanelGroup group = Panels();
  group.ScrollLines(3);
  group.Toggle(0);
  EXPECT_EQ(group.ContentHeight(), 6 * 30);
  EXPECT_FALSE(group.HasScrollBar());
  EXPECT_EQ(group.ScrollPos(), 0);
}

TEST(HelpPanels, WheelMovesByLinesPerNotchTimesEightWhateverItsDistance) {
  struct TCase {
    int Distance;
    bool Shift;
    int LinesPerNotch;
    int Expected;
  };
  const TCase cases[] = {
      {-120, false, 3, 24},  // one notch down
      {-360, false, 3, 24},  // a fast turn reported as one event of three notches
      {-120, false, 1, 8},  {-120, false, 0, 0},  // one screen per notch: nothing
      {-120, false, -1, 0}, {-120, true, 3, 0},   // no horizontal scroll bar
  };
  for (const TCase& c : cases) {
    THelpPanelGroup group = Panels();
    group.Wheel(c.Distance, c.Shift, c.LinesPerNotch);
    EXPECT_EQ(group.ScrollPos(), c.Expected) << c.Distance << " " << c.LinesPerNotch;
  }
  THelpPanelGroup group = Panels();
  group.Wheel(-120, false, 3);
  group.Wheel(120, false, 3);
  EXPECT_EQ(group.ScrollPos(), 0);
  for (int i = 0; i < 100; ++i)
    group.Wheel(-120, false, 3);
  EXPECT_EQ(group.ScrollPos(), group.MaxScroll());  // never past the end
}

TEST(HelpPanels, HeadersAreFoundWhereTheyAreShown) {
  THelpPanelGroup group = Panels();
  EXPECT_EQ(group.HeaderAt(0), 0);
  EXPECT_EQ(group.HeaderAt(29), 0);
  EXPECT_EQ(group.HeaderAt(30), -1);  // the open panel's text
  EXPECT_EQ(group.HeaderAt(215), 1);
  group.ScrollLines(3);
  EXPECT_EQ(group.HeaderAt(215 - 24), 1);
}

TEST(HelpPanels, TextsHaveTitleCauseAndRemedy) {
  for (const THelpPanel& panel : kHelpPanels) {
    std::wstring text = panel.Text;
    size_t cause = text.find(L"\r\n\r\nПричина: ");
    size_t remedy = text.find(L"\r\n\r\nРешение: ");
    EXPECT_EQ(text.rfind(panel.Caption, 0), 0u) << panel.Caption;
    EXPECT_NE(cause, std::wstring::npos);
    EXPECT_GT(remedy, cause);
  }
  EXPECT_TRUE(std::wstring(kHelpPanels[5].Text).ends_with(L"\r\n\r\n"));
  EXPECT_FALSE(std::wstring(kHelpPanels[4].Text).ends_with(L"\r\n"));
}

TEST(HelpPanels, TabOrderRunsFromTheLastPanelThroughTheMiddleOnes) {
  const int expected[kHelpPanelCount] = {4, 3, 2, 1, 5, 0};  // ct691 ... ct678 in list order
  for (int i = 0; i < kHelpPanelCount; ++i)
    EXPECT_EQ(kHelpPanels[i].TabOrder, expected[i]) << kHelpPanels[i].Name;
}

}  // namespace
}  // namespace velmora
