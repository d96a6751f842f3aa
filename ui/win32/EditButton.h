// An edit with a small image button at its right end (the clear button of the login and
// password fields). The button's clicks reach the edit's parent as WM_COMMAND BN_CLICKED.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace velmora {

// Puts an owner-drawn button with id into edit's right end and keeps it there.
HWND AttachRightButton(HWND edit, int id);
// The image the button shows (first image of images; not owned); repaints the button.
void SetRightButtonImage(HWND edit, HIMAGELIST images);

}  // namespace velmora
