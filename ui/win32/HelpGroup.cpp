// The help page's panel group window: the fold-out model of HelpPanels drawn and scrolled.
#include "ui/win32/HelpGroup.h"

#include <vector>

#include "ui/HelpPanels.h"
#include "ui/HelpTexts.h"

namespace velmora {
namespace {

constexpr int kTextMargin = 6;
constexpr int kSignSize = 9;

struct TGroup {
  THelpPanelGroup Model;
  HFONT Font = nullptr;  // not owned
  UINT Dpi = 96;
  int Focus = 0;  // the header the keyboard acts on

  int Scale(int value) const { return MulDiv(value, static_cast<int>(Dpi), 96); }
  int Unscale(int value) const { return MulDiv(value, 96, static_cast<int>(Dpi)); }
};

std::vector<int> OpenHeights() {
  std::vector<int> heights;
  for (const THelpPanel& panel : kHelpPanels)
    heights.push_back(panel.OpenHeight);
  return heights;
}

TGroup* State(HWND window) {
  return reinterpret_cast<TGroup*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void UpdateScrollBar(HWND window, TGroup& g) {
  RECT client;
  GetClientRect(window, &client);
  g.Model.SetViewHeight(g.Unscale(client.bottom));
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = g.Model.HasScrollBar() ? g.Scale(g.Model.ContentHeight()) - 1 : 0;
  info.nPage = g.Model.HasScrollBar() ? static_cast<UINT>(g.Scale(g.Model.ViewHeight())) : 0;
  info.nPos = g.Scale(g.Model.ScrollPos());
  SetScrollInfo(window, SB_VERT, &info, TRUE);
}

void Changed(HWND window, TGroup& g) {
  UpdateScrollBar(window, g);
  UpdateScrollBar(window, g);  // the bar's coming or going changes the client area
  InvalidateRect(window, nullptr, FALSE);
}

void DrawSign(HDC dc, int x, int y, int size, bool open) {
  POINT points[3];
  if (open)
    points[0] = {x, y}, points[1] = {x + size, y}, points[2] = {x + size / 2, y + size / 2 + 1};
  else
    points[0] = {x + 2, y - 2}, points[1] = {x + 2, y + size},
    points[2] = {x + size / 2 + 3, y + size / 2 - 1};
  HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_BTNTEXT));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, points, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

void Paint(HWND window, TGroup& g, HDC target) {
  RECT client;
  GetClientRect(window, &client);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP buffer = CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, buffer);
  HGDIOBJ oldFont =
      SelectObject(dc, g.Font ? static_cast<HGDIOBJ>(g.Font) : GetStockObject(DEFAULT_GUI_FONT));
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  bool focused = GetFocus() == window;
  for (int i = 0; i < g.Model.Count(); ++i) {
    int top = g.Scale(g.Model.Top(i) - g.Model.ScrollPos());
    int height = g.Scale(g.Model.Height(i));
    if (top >= client.bottom || top + height <= 0)
      continue;
    RECT header{0, top, client.right, top + g.Scale(THelpPanelGroup::kHeaderHeight)};
    FillRect(dc, &header, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &header, BDR_RAISEDINNER, BF_RECT);
    int sign = g.Scale(kSignSize);
    DrawSign(dc, header.left + g.Scale(8), (header.top + header.bottom - sign / 2) / 2 - 1, sign,
             g.Model.IsOpen(i));
    RECT caption = header;
    caption.left += g.Scale(24);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, kHelpPanels[i].Caption, -1, &caption, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (focused && i == g.Focus) {
      RECT box = header;
      InflateRect(&box, -g.Scale(3), -g.Scale(3));
      DrawFocusRect(dc, &box);
    }
    if (!g.Model.IsOpen(i))
      continue;
    RECT text{g.Scale(kTextMargin), header.bottom + g.Scale(kTextMargin),
              client.right - g.Scale(kTextMargin), top + height};
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, kHelpPanels[i].Text, -1, &text, DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(buffer);
  DeleteDC(dc);
}

void OnScroll(HWND window, TGroup& g, int code) {
  THelpPanelGroup& m = g.Model;
  switch (code) {
    case SB_LINEUP:
      m.ScrollLines(-1);
      break;
    case SB_LINEDOWN:
      m.ScrollLines(1);
      break;
    case SB_PAGEUP:
      m.ScrollTo(m.ScrollPos() - m.ViewHeight());
      break;
    case SB_PAGEDOWN:
      m.ScrollTo(m.ScrollPos() + m.ViewHeight());
      break;
    case SB_TOP:
      m.ScrollTo(0);
      break;
    case SB_BOTTOM:
      m.ScrollTo(m.MaxScroll());
      break;
    case SB_THUMBTRACK:  // tracking: the content follows the thumb at once
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(window, SB_VERT, &info);
      m.ScrollTo(g.Unscale(info.nTrackPos));
      break;
    }
    default:
      return;
  }
  Changed(window, g);
}

void OnKey(HWND window, TGroup& g, WPARAM key) {
  THelpPanelGroup& m = g.Model;
  switch (key) {
    case VK_RETURN:
    case VK_SPACE:
      m.Toggle(g.Focus);
      break;
    case VK_RIGHT:
      if (!m.IsOpen(g.Focus))
        m.Open(g.Focus);
      break;
    case VK_LEFT:
      if (m.IsOpen(g.Focus))
        m.Close(g.Focus);
      break;
    case VK_UP:
      if (g.Focus > 0)
        --g.Focus;
      break;
    case VK_DOWN:
      if (g.Focus + 1 < m.Count())
        ++g.Focus;
      break;
    default:
      return;
  }
  Changed(window, g);
}

LRESULT CALLBACK GroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TGroup* g = State(window);
  switch (message) {
    case WM_NCCREATE:
      g = new TGroup{THelpPanelGroup(OpenHeights(), 336)};
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g));
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      delete g;
      return DefWindowProcW(window, message, wParam, lParam);
  }
  if (!g)
    return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_SETFONT:
      g->Font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam))
        InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(g->Font);
    case kHelpGroupSetDpi:
      g->Dpi = static_cast<UINT>(wParam);
      Changed(window, *g);
      return 0;
    case WM_SIZE:
      Changed(window, *g);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // everything is painted from the buffer
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      Paint(window, *g, dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_VSCROLL:
      OnScroll(window, *g, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      HelpGroupWheel(window, GET_WHEEL_DELTA_WPARAM(wParam),
                     (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0);
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(window);
      int panel = g->Model.HeaderAt(g->Unscale(static_cast<short>(HIWORD(lParam))));
      if (panel >= 0) {
        g->Focus = panel;
        g->Model.Toggle(panel);
        Changed(window, *g);
      }
      return 0;
    }
    case WM_GETDLGCODE:
      if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      OnKey(window, *g, wParam);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RegisterHelpGroupClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(instance, kHelpGroupClassName, &wc))
    return true;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = GroupProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kHelpGroupClassName;
  return RegisterClassExW(&wc) != 0;
}

void HelpGroupWheel(HWND group, int distance, bool shift) {
  TGroup* g = State(group);
  if (!g)
    return;
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  // WHEEL_PAGESCROLL (one screen per notch) reads as negative: no scrolling then.
  g->Model.Wheel(distance, shift, static_cast<int>(lines));
  Changed(group, *g);
}

int HelpGroupOpenPanel(HWND group) {
  TGroup* g = State(group);
  if (!g)
    return -1;
  for (int i = 0; i < g->Model.Count(); ++i)
    if (g->Model.IsOpen(i))
      return i;
  return -1;
}

int HelpGroupScrollPos(HWND group) {
  TGroup* g = State(group);
  return g ? g->Model.ScrollPos() : 0;
}

void HelpGroupToggle(HWND group, int panel) {
  TGroup* g = State(group);
  if (!g || panel < 0 || panel >= g->Model.Count())
    return;
  g->Focus = panel;
  g->Model.Toggle(panel);
  Changed(group, *g);
}

}  // namespace velmora
