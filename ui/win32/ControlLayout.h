// Creates child controls from bounds given at 96 DPI and moves them again when the window's
// DPI changes, so the window's layout tables read like the design.
#pragma once

#include <windows.h>

#include <vector>

namespace velmora {

// Left, top, width, height in pixels at 96 DPI. A label with width 0 fits its caption.
struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

// A control whose caption does not fit its design width in the present font grows: to the
// right, or to the left keeping its right edge.
enum class TGrow { None, Right, Left };

class TControlLayout {
 public:
  void SetDpi(UINT dpi) { FDpi = dpi; }
  UINT Dpi() const { return FDpi; }
  int Scale(int value) const { return MulDiv(value, static_cast<int>(FDpi), 96); }
  // The font every control gets (at creation and after Rescale); not owned.
  void SetFont(HFONT font) { FFont = font; }

  // Makes a child control (WS_CHILD added) and places it; Rescale moves it again. A control
  // with a font of its own (takesFont false) is not given the layout's.
  HWND Create(HWND parent, const wchar_t* className, int id, TBounds bounds, const wchar_t* caption,
              DWORD style, DWORD exStyle = 0, TGrow grow = TGrow::None, bool takesFont = true);
  // Makes a child control that is placed by a rule of its own (the pages fill the page
  // control's display area): neither placed nor given the font here.
  static HWND Make(HWND parent, const wchar_t* className, int id, const wchar_t* caption,
                   DWORD style, DWORD exStyle = 0);
  // Moves and resizes every control for the current DPI and gives it the current font.
  void Rescale();

 private:
  void Add(HWND control, TBounds bounds, bool takesFont, TGrow grow);
  struct TEntry {
    HWND Control;
    TBounds Bounds;
    bool TakesFont;
    TGrow Grow;
  };
  void Place(const TEntry& entry) const;
  SIZE CaptionSize(HWND control) const;

  UINT FDpi = 96;
  HFONT FFont = nullptr;
  std::vector<TEntry> FEntries;
};

}  // namespace velmora
