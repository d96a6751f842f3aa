// The help page's panel group: a child window per panel (ct691 ... ct678, its text the
// caption) whose header folds it out or in, a text label inside each (lb691 ... lb678), and
// the group's vertical scroll bar. Panels are painted double-buffered.
#pragma once

#include <windows.h>

#include "base/WindowMessages.h"

namespace velmora {

inline constexpr wchar_t kHelpGroupClassName[] = L"TCategoryPanelGroup";

bool RegisterHelpGroupClass(HINSTANCE instance);
// A wheel turn over the group: distance's sign only; Shift means horizontal (nothing).
void HelpGroupWheel(HWND group, int distance, bool shift);
// Test and tool hooks: which panel is open (-1: none) and the scroll position at 96 DPI.
int HelpGroupOpenPanel(HWND group);
int HelpGroupScrollPos(HWND group);
// A click on the header of a panel (its index in the list order).
void HelpGroupToggle(HWND group, int panel);

}  // namespace velmora
