// The help page's panel group: headers that fold their panel out or in, the help texts and
// a vertical scroll bar, painted double-buffered. One purpose-made window class.
#pragma once

#include <windows.h>

namespace velmora {

inline constexpr wchar_t kHelpGroupClassName[] = L"TCategoryPanelGroup";
// wParam: the DPI the group is laid out for (sent at creation and after a DPI change).
inline constexpr UINT kHelpGroupSetDpi = WM_APP + 10;

bool RegisterHelpGroupClass(HINSTANCE instance);
// A wheel turn over the group: distance's sign only; Shift means horizontal (nothing).
void HelpGroupWheel(HWND group, int distance, bool shift);
// Test and tool hooks: which panel is open (-1: none) and the scroll position at 96 DPI.
int HelpGroupOpenPanel(HWND group);
int HelpGroupScrollPos(HWND group);
// A click on a panel's header.
void HelpGroupToggle(HWND group, int panel);

}  // namespace velmora
