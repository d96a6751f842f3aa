// Control creation and DPI scaling of the window's layout.
#include "ui/win32/ControlLayout.h"

#include <string>

namespace velmora {

HWND TControlLayout::Create(HWND parent, const wchar_t* className, int id, TBounds bounds,
                            const wchar_t* caption, DWORD style, DWORD exStyle) {
  HWND control = CreateWindowExW(
      exStyle, className, caption, WS_CHILD | style, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control)
    Add(control, bounds);
  return control;
}

void TControlLayout::Add(HWND control, TBounds bounds, bool takesFont) {
  FEntries.push_back({control, bounds, takesFont});
  if (takesFont && FFont)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  Place(FEntries.back());
}

void TControlLayout::Place(const TEntry& entry) const {
  const TBounds& b = entry.Bounds;
  int width = Scale(b.Width);
  int height = Scale(b.Height);
  if (b.Width == 0) {
    // An autosized label: as wide and as high as its caption in the present font.
    int length = GetWindowTextLengthW(entry.Control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(entry.Control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    HDC dc = GetDC(entry.Control);
    HGDIOBJ old =
        SelectObject(dc, FFont ? static_cast<HGDIOBJ>(FFont) : GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(entry.Control, dc);
    width = r.right;
    height = r.bottom;
  }
  SetWindowPos(entry.Control, nullptr, Scale(b.Left), Scale(b.Top), width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControlLayout::Rescale() {
  for (const TEntry& entry : FEntries) {
    if (entry.TakesFont && FFont)
      SendMessageW(entry.Control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), TRUE);
    Place(entry);
  }
}

void TControlLayout::Fit(HWND control) {
  for (const TEntry& entry : FEntries)
    if (entry.Control == control && entry.Bounds.Width == 0)
      Place(entry);
}

}  // namespace velmora
