// The help page's panel group window: the fold-out model of HelpPanels laid out as real child
// windows (a panel per error, its text label inside), with the group's scroll bar and wheel.
#include "ui/win32/HelpGroup.h"

#include <algorithm>
#include <vector>

#include "base/win32/Scoped.h"
#include "ui/HelpPanels.h"
#include "ui/HelpTexts.h"
#include "ui/resource.h"

namespace velmora {
namespace {

constexpr wchar_t kPanelClassName[] = L"TCategoryPanel";
constexpr int kTextMargin = 6;
constexpr int kSignSize = 9;

// Window IDs of each panel and its label, in the panels' list order.
constexpr struct {
  int Panel, Label;
} kIds[kHelpPanelCount] = {{IDC_ct691, IDC_lb691}, {IDC_ct734, IDC_lb734},
                           {IDC_ct769, IDC_lb769}, {IDC_ct680676, IDC_lb680676},
                           {IDC_ct651, IDC_lb651}, {IDC_ct678, IDC_lb678}};

struct TGroup {
  THelpPanelGroup Model;
  HFONT Font = nullptr;  // not owned
  UINT Dpi = 96;
  HWND Panels[kHelpPanelCount] = {};
  HWND Labels[kHelpPanelCount] = {};

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

int PanelIndex(HWND panel) {
  return static_cast<int>(GetWindowLongPtrW(panel, GWLP_USERDATA));
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

// Places every panel and label where the model says, in one deferred move.
void Layout(HWND window, TGroup& g) {
  RECT client;
  GetClientRect(window, &client);
  HDWP moves = BeginDeferWindowPos(2 * kHelpPanelCount);
  for (int i = 0; i < kHelpPanelCount && moves; ++i) {
    if (!g.Panels[i])
      continue;
    int top = g.Scale(g.Model.Top(i) - g.Model.ScrollPos());
    int height = g.Scale(g.Model.Height(i));
    moves = DeferWindowPos(moves, g.Panels[i], nullptr, 0, top, client.right, height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
    int margin = g.Scale(kTextMargin);
    int labelTop = g.Scale(THelpPanelGroup::kHeaderHeight) + margin;
    int labelHeight = g.Scale(kHelpPanels[i].OpenHeight) - labelTop - margin;
    if (moves && g.Labels[i])
      moves = DeferWindowPos(
          moves, g.Labels[i], nullptr, margin, labelTop,
          std::max<LONG>(0, client.right - 2 * margin), std::max(0, labelHeight),
          SWP_NOZORDER | SWP_NOACTIVATE | (g.Model.IsOpen(i) ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
  if (moves)
    EndDeferWindowPos(moves);
  for (HWND panel : g.Panels)
    if (panel)
      InvalidateRect(panel, nullptr, FALSE);
}

void Changed(HWND window, TGroup& g) {
  UpdateScrollBar(window, g);
  UpdateScrollBar(window, g);  // the bar's coming or going changes the client area
  Layout(window, g);
  InvalidateRect(window, nullptr, FALSE);
}

void DrawSign(HDC dc, int x, int y, int size, bool open) {
  POINT points[3];
  if (open)
    points[0] = {x, y}, points[1] = {x + size, y}, points[2] = {x + size / 2, y + size / 2 + 1};
  else
    points[0] = {x + 2, y - 2}, points[1] = {x + 2, y + size},
    points[2] = {x + size / 2 + 3, y + size / 2 - 1};
  const TSelection brush(dc, GetSysColorBrush(COLOR_BTNTEXT));
  const TSelection pen(dc, GetStockObject(NULL_PEN));
  Polygon(dc, points, 3);
}

// A panel: its header (sign, caption, focus mark) over the page's background, drawn into a
// buffer first so that folding and scrolling do not flicker. The label paints itself.
void PaintPanel(HWND panel, const TGroup& g, HDC target) {
  RECT client;
  GetClientRect(panel, &client);
  const TMemoryDC memory(CreateCompatibleDC(target));
  const TScopedBitmap buffer(CreateCompatibleBitmap(target, client.right, client.bottom));
  const HDC dc = memory.Get();
  const TSelection bufferSelected(dc, buffer.Get());
  const TSelection fontSelected(
      dc, g.Font ? static_cast<HGDIOBJ>(g.Font) : GetStockObject(DEFAULT_GUI_FONT));
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  int index = PanelIndex(panel);
  bool open = g.Model.IsOpen(index);
  RECT header{0, 0, client.right,
              std::min<LONG>(client.bottom, g.Scale(THelpPanelGroup::kHeaderHeight))};
  FillRect(dc, &header, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &header, BDR_RAISEDINNER, BF_RECT);
  int sign = g.Scale(kSignSize);
  DrawSign(dc, header.left + g.Scale(8), (header.top + header.bottom - sign / 2) / 2 - 1, sign,
           open);
  RECT caption = header;
  caption.left += g.Scale(24);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(dc, kHelpPanels[index].Caption, -1, &caption, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (GetFocus() == panel) {
    RECT box = header;
    InflateRect(&box, -g.Scale(3), -g.Scale(3));
    DrawFocusRect(dc, &box);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
}

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND group = GetParent(panel);
  TGroup* g = group ? State(group) : nullptr;
  if (!g)
    return DefWindowProcW(panel, message, wParam, lParam);
  const WPARAM index = static_cast<WPARAM>(PanelIndex(panel));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // everything is painted from the buffer
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(panel, &ps);
      PaintPanel(panel, *g, dc);
      EndPaint(panel, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_LBUTTONDOWN:
      SetFocus(panel);
      if (g->Unscale(static_cast<short>(HIWORD(lParam))) < THelpPanelGroup::kHeaderHeight)
        SendMessageW(group, kPanelToggle, index, 0);
      return 0;
    case WM_GETDLGCODE:
      if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_RETURN:
        case VK_SPACE:
          SendMessageW(group, kPanelToggle, index, 0);
          return 0;
        case VK_RIGHT:
          SendMessageW(group, kPanelOpen, index, 0);
          return 0;
        case VK_LEFT:
          SendMessageW(group, kPanelClose, index, 0);
          return 0;
        case VK_UP:
          SendMessageW(group, kPanelFocusStep, index, -1);
          return 0;
        case VK_DOWN:
          SendMessageW(group, kPanelFocusStep, index, 1);
          return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(panel, nullptr, FALSE);
      return 0;
  }
  return DefWindowProcW(panel, message, wParam, lParam);
}

void CreatePanels(HWND group, TGroup& g) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(group, GWLP_HINSTANCE));
  // Created in tab order: the dialog keys move the focus through the headers in that order.
  std::vector<int> order(kHelpPanelCount);
  for (int i = 0; i < kHelpPanelCount; ++i)
    order[i] = i;
  std::sort(order.begin(), order.end(),
            [](int a, int b) { return kHelpPanels[a].TabOrder < kHelpPanels[b].TabOrder; });
  for (int i : order) {
    g.Panels[i] = CreateWindowExW(
        0, kPanelClassName, kHelpPanels[i].Caption,
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, 0, 0, 0, 0, group,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIds[i].Panel)), instance, nullptr);
    if (!g.Panels[i])
      continue;
    SetWindowLongPtrW(g.Panels[i], GWLP_USERDATA, i);
    g.Labels[i] = CreateWindowExW(
        0, L"STATIC", kHelpPanels[i].Text, WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 0, 0,
        0, 0, g.Panels[i], reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIds[i].Label)), instance,
        nullptr);
  }
}

void SetFonts(TGroup& g, BOOL redraw) {
  for (int i = 0; i < kHelpPanelCount; ++i) {
    if (g.Panels[i])
      InvalidateRect(g.Panels[i], nullptr, FALSE);
    if (g.Labels[i])
      SendMessageW(g.Labels[i], WM_SETFONT, reinterpret_cast<WPARAM>(g.Font), redraw);
  }
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
  const int panel = static_cast<int>(wParam);
  const bool known = panel >= 0 && panel < kHelpPanelCount;
  switch (message) {
    case WM_CREATE:
      CreatePanels(window, *g);
      Changed(window, *g);
      return 0;
    case WM_SETFONT:
      g->Font = reinterpret_cast<HFONT>(wParam);
      SetFonts(*g, LOWORD(lParam));
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
    case WM_ERASEBKGND: {
      // Below the last panel: the page's background.
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_WINDOW));
      return 1;
    }
    case WM_VSCROLL:
      OnScroll(window, *g, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      HelpGroupWheel(window, GET_WHEEL_DELTA_WPARAM(wParam),
                     (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0);
      return 0;
    case kPanelToggle:
    case kPanelOpen:
    case kPanelClose:
      if (!known)
        return 0;
      if (message == kPanelToggle)
        g->Model.Toggle(panel);
      else if (message == kPanelOpen && !g->Model.IsOpen(panel))
        g->Model.Open(panel);
      else if (message == kPanelClose && g->Model.IsOpen(panel))
        g->Model.Close(panel);
      Changed(window, *g);
      return 0;
    case kPanelFocusStep: {
      int next = panel + static_cast<int>(lParam);
      if (known && next >= 0 && next < kHelpPanelCount && g->Panels[next])
        SetFocus(g->Panels[next]);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(instance, name, &wc))
    return true;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

bool RegisterHelpGroupClass(HINSTANCE instance) {
  return RegisterClass(instance, kHelpGroupClassName, GroupProc, CS_HREDRAW | CS_VREDRAW) &&
         RegisterClass(instance, kPanelClassName, PanelProc, CS_HREDRAW | CS_VREDRAW);
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
  SendMessageW(group, kPanelToggle, static_cast<WPARAM>(panel), 0);
}

}  // namespace velmora
