// The help page's fold-out panels as a model: which panel is open, how tall each is, where
// the list is scrolled to. Pixels at 96 DPI; the window scales them.
#pragma once

#include <vector>

namespace velmora {

class THelpPanelGroup {
 public:
  static constexpr int kHeaderHeight = 30;  // a closed panel shows only its header
  static constexpr int kLineStep = 8;       // one scroll-bar line

  // openHeights: each panel's height when open, header included; panel 0 starts open.
  THelpPanelGroup(std::vector<int> openHeights, int viewHeight);

  int Count() const { return static_cast<int>(FPanels.size()); }
  bool IsOpen(int panel) const { return FPanels[panel].Open; }
  int Height(int panel) const;
  int Top(int panel) const;  // in the list, before scrolling
  int ContentHeight() const;
  int ViewHeight() const { return FViewHeight; }
  bool HasScrollBar() const { return ContentHeight() > FViewHeight; }
  int ScrollPos() const { return FScroll; }
  int MaxScroll() const;

  // A click on a panel's header: opens a closed panel (closing the others), closes an open one.
  void Toggle(int panel);
  void Open(int panel);
  void Close(int panel);
  void ScrollTo(int position);
  // One line up (-1) or down (+1) per step.
  void ScrollLines(int lines) { ScrollTo(FScroll + lines * kLineStep); }
  // A wheel turn: only its sign counts; lines per notch of 0 or less scroll nothing; the
  // group has no horizontal scroll bar, so a turn with Shift moves nothing either.
  void Wheel(int distance, bool shift, int linesPerNotch);
  void SetViewHeight(int height);
  // The panel whose header lies at y (in the view), or -1.
  int HeaderAt(int y) const;

 private:
  struct TPanel {
    int OpenHeight;
    bool Open;
  };
  void ScrollInView(int panel);

  std::vector<TPanel> FPanels;
  int FViewHeight;
  int FScroll = 0;
};

}  // namespace velmora
