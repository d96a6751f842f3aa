// Reading and setting the state of simple controls.
#include "ui/win32/ControlText.h"

namespace velmora {

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

void SetEditText(HWND edit, const std::wstring& text) {
  if (WindowText(edit) != text)
    SetWindowTextW(edit, text.c_str());
}

bool IsChecked(HWND box) {
  return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace velmora
