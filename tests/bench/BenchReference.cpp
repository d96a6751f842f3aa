// The benchmarks' yardstick: the least a tray program of our kind needs (one window with a tab
// control, labels and buttons, one tray icon and a 1-second timer), built with the program's
// toolchain and flags so that scripts/bench can print our figures as ratios to its own.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kClassName[] = L"BenchReference";
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;

int Ticks = 0;

HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x,
                int y, int width, int height) {
  HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, parent, nullptr, nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  return control;
}

void AddTrayIcon(HWND window, bool add) {
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = kTrayMessage;
  icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpynW(icon.szTip, L"Bench Reference", ARRAYSIZE(icon.szTip));
  Shell_NotifyIconW(add ? NIM_ADD : NIM_DELETE, &icon);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HWND tabs = AddControl(window, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS, 8, 8, 420, 300);
      const wchar_t* pages[] = {L"Connection", L"Settings", L"Log", L"Help"};
      for (int i = 0; i < 4; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(pages[i]);
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
      }
      const wchar_t* labels[] = {L"Contract", L"Tariff", L"Balance", L"Until"};
      for (int i = 0; i < 4; ++i) {
        AddControl(window, WC_STATICW, labels[i], 0, 24, 48 + 28 * i, 120, 20);
        AddControl(window, WC_STATICW, L"-", 0, 150, 48 + 28 * i, 200, 20);
      }
      AddControl(window, WC_BUTTONW, L"Connect", BS_PUSHBUTTON | WS_TABSTOP, 24, 200, 120, 28);
      AddControl(window, WC_BUTTONW, L"Disconnect", BS_PUSHBUTTON | WS_TABSTOP, 150, 200, 120, 28);
      AddControl(window, WC_BUTTONW, L"Refresh", BS_PUSHBUTTON | WS_TABSTOP, 276, 200, 120, 28);
      AddTrayIcon(window, true);
      SetTimer(window, kTimerId, 1000, nullptr);
      return 0;
    }
    case WM_TIMER:
      ++Ticks;
      return 0;
    case WM_DESTROY:
      KillTimer(window, kTimerId);
      AddTrayIcon(window, false);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass))
    return 1;
  HWND window =
      CreateWindowExW(0, kClassName, L"Bench Reference", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 460, 360, nullptr, nullptr, instance, nullptr);
  if (!window)
    return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
