// Hints through the common tooltip control, one subclassing tool per control.
#include "ui/win32/Tooltips.h"

#include <commctrl.h>

namespace velmora {
namespace {

TTTOOLINFOW ToolFor(HWND control, const wchar_t* text) {
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<wchar_t*>(text);
  return info;
}

}  // namespace

TTooltips::~TTooltips() {
  if (FTooltip)
    DestroyWindow(FTooltip);
}

bool TTooltips::Create(HWND owner) {
  FTooltip = CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)), nullptr);
  if (!FTooltip)
    return false;
  SendMessageW(FTooltip, TTM_ACTIVATE, TRUE, 0);
  return true;
}

void TTooltips::Set(HWND control, const std::wstring& text) {
  if (!FTooltip || !control)
    return;
  TTTOOLINFOW info = ToolFor(control, text.c_str());
  TTTOOLINFOW probe = ToolFor(control, nullptr);
  if (SendMessageW(FTooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&probe)))
    SendMessageW(FTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  else
    SendMessageW(FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace velmora
