// Reading and setting the state of simple controls, shared by the window's handlers.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// A control's whole text.
std::wstring WindowText(HWND window);
// Sets an edit's text only when it differs, so its change handler fires only on a change.
void SetEditText(HWND edit, const std::wstring& text);
bool IsChecked(HWND box);

}  // namespace velmora
