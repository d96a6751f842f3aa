// Pages and panels: paint their background (the panel also its bevel) and forward their
// children's messages to the top-level window, which owns every handler.
#include "ui/win32/Containers.h"

#include <uxtheme.h>

#include <initializer_list>

namespace velmora {
namespace {

bool Forwards(UINT message) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Forwards(message))
    return SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, ContainerBrush());
      return TRUE;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      wchar_t name[16] = L"";
      GetClassNameW(window, name, 16);
      if (lstrcmpW(name, kPanelClassName) == 0) {
        RECT r;
        GetClientRect(window, &r);
        DrawEdge(dc, &r, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
      }
      EndPaint(window, &ps);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HBRUSH ContainerBrush() {
  // Themed pages are light like the tab's body; the classic look uses the face colour.
  return GetSysColorBrush(IsAppThemed() ? COLOR_WINDOW : COLOR_BTNFACE);
}

bool RegisterContainerClasses(HINSTANCE instance) {
  for (const wchar_t* name : {kTabSheetClassName, kPanelClassName}) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(instance, name, &wc))
      continue;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    if (!RegisterClassExW(&wc))
      return false;
  }
  return true;
}

}  // namespace velmora
