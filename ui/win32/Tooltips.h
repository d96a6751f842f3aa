// The window's hints: one tooltip control with a tool per hinted control.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

class TTooltips {
 public:
  TTooltips() = default;
  ~TTooltips();
  TTooltips(const TTooltips&) = delete;
  TTooltips& operator=(const TTooltips&) = delete;

  bool Create(HWND owner);
  HWND Handle() const { return FTooltip; }
  // Sets the hint of control (adds its tool the first time); an empty text hides the hint.
  void Set(HWND control, const std::wstring& text);

 private:
  HWND FTooltip = nullptr;
};

}  // namespace velmora
