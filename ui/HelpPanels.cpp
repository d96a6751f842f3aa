// Fold-out rule and scrolling of the help page's panels.
#include "ui/HelpPanels.h"

#include <algorithm>

namespace velmora {

THelpPanelGroup::THelpPanelGroup(std::vector<int> openHeights, int viewHeight)
    : FViewHeight(viewHeight) {
  for (int height : openHeights)
    FPanels.push_back({height, false});
  if (!FPanels.empty())
    FPanels[0].Open = true;
}

int THelpPanelGroup::Height(int panel) const {
  return FPanels[panel].Open ? FPanels[panel].OpenHeight : kHeaderHeight;
}

int THelpPanelGroup::Top(int panel) const {
  int top = 0;
  for (int i = 0; i < panel; ++i)
    top += Height(i);
  return top;
}

int THelpPanelGroup::ContentHeight() const {
  return Top(Count());
}

int THelpPanelGroup::MaxScroll() const {
  return std::max(0, ContentHeight() - FViewHeight);
}

void THelpPanelGroup::Toggle(int panel) {
  if (IsOpen(panel))
    Close(panel);
  else
    Open(panel);
}

void THelpPanelGroup::Open(int panel) {
  FPanels[panel].Open = true;
  for (int i = 0; i < Count(); ++i)
    if (i != panel)
      FPanels[i].Open = false;
  ScrollTo(FScroll);
  ScrollInView(panel);
}

void THelpPanelGroup::Close(int panel) {
  FPanels[panel].Open = false;
  ScrollTo(FScroll);
}

void THelpPanelGroup::ScrollInView(int panel) {
  // As much of the panel as fits, its top first when it is taller than the view.
  int top = Top(panel);
  int bottom = top + Height(panel);
  int position = FScroll;
  if (bottom > position + FViewHeight)
    position = bottom - FViewHeight;
  if (top < position)
    position = top;
  ScrollTo(position);
}

void THelpPanelGroup::ScrollTo(int position) {
  FScroll = std::clamp(position, 0, MaxScroll());
}

void THelpPanelGroup::Wheel(int distance, bool shift, int linesPerNotch) {
  if (shift || linesPerNotch <= 0)
    return;
  ScrollLines(distance > 0 ? -linesPerNotch : linesPerNotch);
}

void THelpPanelGroup::SetViewHeight(int height) {
  FViewHeight = height;
  ScrollTo(FScroll);
}

int THelpPanelGroup::HeaderAt(int y) const {
  int content = y + FScroll;
  for (int i = 0; i < Count(); ++i) {
    int top = Top(i);
    if (content >= top && content < top + kHeaderHeight)
      return i;
  }
  return -1;
}

}  // namespace velmora
