// Control creation and DPI scaling of the window's layout.
#include "ui/win32/ControlLayout.h"

#include <string>

#include "base/win32/Scoped.h"

namespace velmora {

HWND TControlLayout::Create(HWND parent, const wchar_t* className, int id, TBounds bounds,
                            const wchar_t* caption, DWORD style, DWORD exStyle, TGrow grow,
                            bool takesFont) {
  HWND control = Make(parent, className, id, caption, style, exStyle);
  if (control)
    Add(control, bounds, takesFont, grow);
  return control;
}

HWND TControlLayout::Make(HWND parent, const wchar_t* className, int id, const wchar_t* caption,
                          DWORD style, DWORD exStyle) {
  return CreateWindowExW(exStyle, className, caption, WS_CHILD | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                         nullptr);
}

void TControlLayout::Add(HWND control, TBounds bounds, bool takesFont, TGrow grow) {
  FEntries.push_back({control, bounds, takesFont, grow});
  if (takesFont && FFont)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  Place(FEntries.back());
}

// The caption's extent in the present font; link markup ("<a ...>", "</a>") is not shown.
SIZE TControlLayout::CaptionSize(HWND control) const {
  int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  for (size_t open = text.find(L'<'); open != std::wstring::npos; open = text.find(L'<', open)) {
    size_t close = text.find(L'>', open);
    if (close == std::wstring::npos)
      break;
    text.erase(open, close - open + 1);
  }
  const TWindowDC dc(control);
  const TSelection font(dc.Get(),
                        FFont ? static_cast<HGDIOBJ>(FFont) : GetStockObject(DEFAULT_GUI_FONT));
  RECT r{0, 0, 0, 0};
  DrawTextW(dc.Get(), text.empty() ? L" " : text.c_str(), -1, &r,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return {r.right, r.bottom};
}

void TControlLayout::Place(const TEntry& entry) const {
  const TBounds& b = entry.Bounds;
  int left = Scale(b.Left);
  int width = Scale(b.Width);
  int height = Scale(b.Height);
  if (b.Width == 0) {
    // An autosized label: as wide and as high as its caption.
    SIZE size = CaptionSize(entry.Control);
    width = size.cx;
    height = size.cy;
  } else if (entry.Grow != TGrow::None) {
    // Room for a check box's box and gap, or a link's focus rectangle.
    int needed = CaptionSize(entry.Control).cx + Scale(20);
    if (needed > width) {
      if (entry.Grow == TGrow::Left)
        left -= needed - width;
      width = needed;
    }
  }
  SetWindowPos(entry.Control, nullptr, left, Scale(b.Top), width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControlLayout::Rescale() {
  for (const TEntry& entry : FEntries) {
    if (entry.TakesFont && FFont)
      SendMessageW(entry.Control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), TRUE);
    Place(entry);
  }
}

}  // namespace velmora
