// The main window's design: its size and place, the page control and every control of the
// pages, laid out at 96 DPI and scaled for the window's monitor.
#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <utility>

#include "base/win32/SystemFunction.h"
#include "engine/AppTitle.h"
#include "ui/ProviderInfo.h"
#include "ui/SettingsText.h"
#include "ui/StoredSettings.h"
#include "ui/resource.h"
#include "ui/win32/uDataModule.h"
#include "ui/win32/ufrmMain.h"
#include "ui/win32/Containers.h"
#include "ui/win32/EditButton.h"
#include "ui/win32/HelpGroup.h"
#include "ui/win32/PngResource.h"

namespace velmora {
namespace {

constexpr int kClientWidth = 348;
constexpr int kClientHeight = 364;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr COLORREF kContactColour = RGB(0, 128, 0);

UINT WindowDpi(HWND window) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto getDpi = SystemFunction<TGetDpiForWindow>(L"user32.dll", "GetDpiForWindow");
  if (getDpi) {
    UINT dpi = getDpi(window);
    if (dpi)
      return dpi;
  }
  const TWindowDC screen(nullptr);
  const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen.Get(), LOGPIXELSY));
  return dpi ? dpi : 96;
}

RECT WindowRectForClient(int width, int height, UINT dpi) {
  RECT r{0, 0, width, height};
  using TAdjust = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = SystemFunction<TAdjust>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjust)
    adjust(&r, kStyle, FALSE, kExStyle, dpi);
  else
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  return r;
}

TScopedFont MakeFont(const wchar_t* face, int points, UINT dpi, BYTE charset) {
  return TScopedFont(CreateFontW(
      -MulDiv(points, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

void FillYesNo(HWND list, bool on) {
  SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kListNo));
  SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kListYes));
  SendMessageW(list, CB_SETCURSEL, ListIndexFor(on), 0);
}

}  // namespace

bool TfrmMain::RegisterWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(FInstance, kMainFormClassName, &wc))
    return true;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = FInstance;
  wc.hIcon = LoadIconW(FInstance, MAKEINTRESOURCEW(IDI_MAINICON));
  wc.hIconSm = static_cast<HICON>(LoadImageW(FInstance, MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kMainFormClassName;
  return RegisterClassExW(&wc) != 0;
}

bool TfrmMain::Create(const TConnectorEnv* connectorEnv) {
  if (!RegisterWindowClass() || !RegisterContainerClasses(FInstance) ||
      !RegisterHelpGroupClass(FInstance))
    return false;
  if (!CreateWindowExW(kExStyle, kMainFormClassName, kApplicationTitle, kStyle, CW_USEDEFAULT,
                       CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, FInstance,
                       this))
    return false;
  FLayout.SetDpi(WindowDpi(FHandle));
  PlaceWindow(nullptr);
  RebuildFonts();
  FTooltips.Create(FHandle);
  CreateControls();
  FormCreate(connectorEnv);
  return true;
}

void TfrmMain::PlaceWindow(const RECT* suggested) {
  RECT frame =
      WindowRectForClient(FLayout.Scale(kClientWidth), FLayout.Scale(kClientHeight), Dpi());
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int x, y;
  if (suggested) {
    x = suggested->left;
    y = suggested->top;
  } else {
    // Centred on the screen at first show.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(FHandle, MONITOR_DEFAULTTOPRIMARY), &monitor);
    x = (monitor.rcMonitor.left + monitor.rcMonitor.right - width) / 2;
    y = (monitor.rcMonitor.top + monitor.rcMonitor.bottom - height) / 2;
  }
  SetWindowPos(FHandle, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame may be measured at another DPI than the one the system draws it with: make
  // the client area come out exact.
  RECT client;
  GetClientRect(FHandle, &client);
  int dx = FLayout.Scale(kClientWidth) - client.right;
  int dy = FLayout.Scale(kClientHeight) - client.bottom;
  if (dx != 0 || dy != 0)
    SetWindowPos(FHandle, nullptr, 0, 0, width + dx, height + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::SnapToWorkArea(WINDOWPOS& position) const {
  if (position.flags & SWP_NOMOVE)
    return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(FHandle, MONITOR_DEFAULTTONEAREST), &monitor))
    return;
  const RECT& area = monitor.rcWork;
  int snap = FLayout.Scale(10);
  RECT window;
  GetWindowRect(FHandle, &window);
  int width = (position.flags & SWP_NOSIZE) ? window.right - window.left : position.cx;
  int height = (position.flags & SWP_NOSIZE) ? window.bottom - window.top : position.cy;
  if (abs(position.x - area.left) < snap)
    position.x = area.left;
  if (abs(position.x + width - area.right) < snap)
    position.x = area.right - width;
  if (abs(position.y - area.top) < snap)
    position.y = area.top;
  if (abs(position.y + height - area.bottom) < snap)
    position.y = area.bottom - height;
}

void TfrmMain::RebuildFonts() {
  // The old fonts go once the controls have the new ones.
  const TScopedFont oldFont = std::move(FFont);
  const TScopedFont oldLogFont = std::move(FLogFont);
  FFont = MakeFont(L"Tahoma", 8, Dpi(), DEFAULT_CHARSET);
  FLogFont = MakeFont(L"Lucida Console", 8, Dpi(), RUSSIAN_CHARSET);
  FLayout.SetFont(FFont.Get());
  if (mInfo)
    SendMessageW(mInfo, WM_SETFONT, reinterpret_cast<WPARAM>(FLogFont.Get()), TRUE);
  if (FTooltips.Handle())
    SendMessageW(FTooltips.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
}

void TfrmMain::OnDpiChanged(UINT dpi, const RECT& suggested) {
  FLayout.SetDpi(dpi);
  RebuildFonts();
  FLayout.Rescale();
  PlaceWindow(&suggested);
  PlacePages();
  if (DataModuleX)
    DataModuleX->LoadImages(dpi);
  SetConnectImage(FConnectImage);
  RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TfrmMain::PlacePages() {
  RECT area;
  GetClientRect(pc, &area);
  SendMessageW(pc, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (HWND page : {tsConnect, tsLog, tsSettings, tsHelp})
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE);
}

void TfrmMain::ShowPage(int index) {
  HWND pages[] = {tsConnect, tsLog, tsSettings, tsHelp};
  for (int i = 0; i < 4; ++i)
    ShowWindow(pages[i], i == index ? SW_SHOW : SW_HIDE);
}

void TfrmMain::CreateControls() {
  pc = FLayout.Create(FHandle, WC_TABCONTROLW, IDC_pc, {0, 0, kClientWidth, kClientHeight}, L"",
                      WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP);
  const struct {
    HWND* Page;
    int Id;
    const wchar_t* Caption;
  } pages[] = {{&tsConnect, IDC_tsConnect, L"Соединение"},
               {&tsLog, IDC_tsLog, L"Лог"},
               {&tsSettings, IDC_tsSettings, L"Настройки"},
               {&tsHelp, IDC_tsHelp, L"Помощь"}};
  int index = 0;
  for (const auto& page : pages) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(page.Caption);
    SendMessageW(pc, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
    *page.Page = TControlLayout::Make(FHandle, kTabSheetClassName, page.Id, page.Caption,
                                      WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  }
  PlacePages();
  CreateConnectPage();
  CreateLogPage();
  CreateSettingsPage();
  CreateHelpPage();
  SendMessageW(pc, TCM_SETCURSEL, 0, 0);
  ShowPage(0);
}

void TfrmMain::CreateConnectPage() {
  HWND p = tsConnect;
  constexpr DWORD kVisible = WS_VISIBLE;
  // Created in tab order: the fields, the boxes and the two buttons come first.
  ebLogin = FLayout.Create(p, L"EDIT", IDC_ebLogin, {11, 176, 320, 21}, L"",
                           kVisible | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
  ebPassword =
      FLayout.Create(p, L"EDIT", IDC_ebPassword, {11, 216, 320, 21}, L"",
                     kVisible | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE);
  SendMessageW(ebPassword, EM_SETPASSWORDCHAR, L'*', 0);
  ebLoginRightButton = AttachRightButton(ebLogin, IDC_ebLoginRightButton);
  ebPasswordRightButton = AttachRightButton(ebPassword, IDC_ebPasswordRightButton);
  cbSaveAuthData = FLayout.Create(p, L"BUTTON", IDC_cbSaveAuthData, {11, 243, 161, 17},
                                  L"Сохранить логин и пароль",
                                  kVisible | WS_TABSTOP | BS_AUTOCHECKBOX, 0, TGrow::Right);
  cbHidePassword =
      FLayout.Create(p, L"BUTTON", IDC_cbHidePassword, {11, 266, 161, 17}, L"Скрыть пароль",
                     kVisible | WS_TABSTOP | BS_AUTOCHECKBOX, 0, TGrow::Right);
  SendMessageW(cbHidePassword, BM_SETCHECK, BST_CHECKED, 0);
  bConnect = FLayout.Create(p, L"BUTTON", IDC_bConnect, {11, 298, 159, 35}, L"Подключить",
                            kVisible | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON);
  bDisconnect = FLayout.Create(p, L"BUTTON", IDC_bDisconnect, {176, 298, 155, 35}, L"Отключить",
                               kVisible | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON);
  std::wstring link = L"<a href=\"" + AccountPageUrl() + L"\">Личный кабинет</a>";
  lbAccountLink = FLayout.Create(p, WC_LINK, IDC_lbAccountLink, {243, 153, 88, 17}, link.c_str(),
                                 kVisible | WS_TABSTOP, 0, TGrow::Left);

  pMainInfo = FLayout.Create(p, kPanelClassName, IDC_pMainInfo, {11, 8, 320, 137}, L"",
                             kVisible | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  HWND q = pMainInfo;
  imgMainLogo = FLayout.Create(q, L"STATIC", IDC_imgMainLogo, {0, 4, 105, 93}, L"",
                               kVisible | SS_OWNERDRAW | SS_NOTIFY);
  struct TLabel {
    HWND* Control;
    int Id;
    TBounds Bounds;
    const wchar_t* Caption;
    DWORD Style;
  };
  constexpr DWORD kValue =
      kVisible | WS_CLIPSIBLINGS | SS_RIGHT | SS_NOPREFIX | SS_NOTIFY;  // hint shows it whole
  // Titles first, so they lie above the values; the values clip them out, so a title stays
  // whole where a wider font makes it reach into a value's empty left part.
  const TLabel labels[] = {
      {&lbContract, IDC_lbContract, {105, 6}, L"Номер договора:", kVisible},
      {&lbFIO, IDC_lbFIO, {372, 23}, L"ФИО:", kVisible},
      {&lbTariff, IDC_lbTariff, {105, 29}, L"Тариф:", kVisible},
      {&lbBalance, IDC_lbBalance, {105, 52}, L"Баланс:", kVisible},
      {&lbDieDate, IDC_lbDieDate, {105, 75}, L"Дата отключения:", kVisible},
      {&lbContractInfo, IDC_lbContractInfo, {197, 6, 111, 13}, L"", kValue},
      {&lbFIOInfo, IDC_lbFIOInfo, {405, 23, 132, 13}, L"", kValue},
      {&lbTariffInfo, IDC_lbTariffInfo, {147, 29, 161, 13}, L"", kValue},
      {&lbBalanceInfo, IDC_lbBalanceInfo, {150, 52, 158, 13}, L"", kValue},
      {&lbDieDateInfo, IDC_lbDieDateInfo, {207, 75, 101, 13}, L"", kValue},
      {&lbContactInfoRight,
       IDC_lbContactInfoRight,
       {4, 104, 133, 29},
       kContactPhones,
       kVisible | SS_CENTER | SS_NOPREFIX},
      {&lbContactInfoLeft,
       IDC_lbContactInfoLeft,
       {136, 104, 153, 29},
       kContactAddresses,
       kVisible | SS_LEFT | SS_NOPREFIX},
  };

  for (const TLabel& label : labels)
    *label.Control =
        FLayout.Create(q, L"STATIC", label.Id, label.Bounds, label.Caption, label.Style);
  bRefresh = FLayout.Create(q, L"BUTTON", IDC_bRefresh, {295, 113, 20, 20}, L"",
                            kVisible | WS_TABSTOP | BS_PUSHBUTTON);

  FTooltips.Set(bRefresh, L"Обновить информацию");
  FTooltips.Set(ebLoginRightButton, L"Очистить поле");
  FTooltips.Set(ebPasswordRightButton, L"Очистить поле");
  SetConnectImage(kImageGrey);
}

void TfrmMain::CreateLogPage() {
  // The log keeps a font of its own (FLogFont), given again after a DPI change.
  mInfo = FLayout.Create(
      tsLog, L"EDIT", IDC_mInfo, {0, 0, 340, 307}, L"",
      WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      WS_EX_CLIENTEDGE, TGrow::None, /*takesFont=*/false);
  SendMessageW(mInfo, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(mInfo, WM_SETFONT, reinterpret_cast<WPARAM>(FLogFont.Get()), FALSE);
  lbCopy =
      FLayout.Create(tsLog, WC_LINK, IDC_lbCopy, {204, 313, 135, 17},
                     L"<a>Скопировать лог в буфер</a>", WS_VISIBLE | WS_TABSTOP, 0, TGrow::Left);
}

void TfrmMain::CreateSettingsPage() {
  HWND p = tsSettings;
  // One row of label and list every 32 pixels; the autostart row below them stays hidden.
  auto rowTop = [](size_t row) { return 16 + 32 * static_cast<int>(row); };
  for (size_t i = 0; i < std::size(kSettingRows); ++i)
    FLayout.Create(p, L"STATIC", kSettingRows[i].LabelId, {8, rowTop(i)}, kSettingRows[i].Label,
                   WS_VISIBLE);
  lbAutostart =
      FLayout.Create(p, L"STATIC", IDC_lbAutostart, {8, 142}, L"Запускать при входе в Windows", 0);
  // Lists in tab order; the height given is the dropped-down list's.
  constexpr DWORD kListStyle = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  cbAutostart =
      FLayout.Create(p, WC_COMBOBOXW, IDC_cbAutostart, {255, 139, 74, 80}, L"", kListStyle);
  FillYesNo(cbAutostart, false);
  for (size_t i = 0; i < std::size(kSettingRows); ++i)
    FillYesNo(FLayout.Create(p, WC_COMBOBOXW, kSettingRows[i].ListId, {255, rowTop(i) - 3, 74, 80},
                             L"", WS_VISIBLE | kListStyle),
              kSettingRows[i].Default);
  bApplySettings = FLayout.Create(p, L"BUTTON", IDC_bApplySettings, {200, 304, 129, 25},
                                  L"Сохранить", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
}

void TfrmMain::CreateHelpPage() {
  // The panels inside are the tab stops; the group only holds and scrolls them.
  catHelp = FLayout.Create(tsHelp, kHelpGroupClassName, IDC_catHelp, {0, 0, 340, 336}, L"",
                           WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
  SendMessageW(catHelp, kHelpGroupSetDpi, Dpi(), 0);
}

LRESULT TfrmMain::OnCtlColorStatic(HDC dc, HWND control) {
  if (control == mInfo) {
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  if (control == lbContactInfoRight || control == lbContactInfoLeft)
    SetTextColor(dc, kContactColour);
  SetBkMode(dc, TRANSPARENT);
  HBRUSH brush = ContainerBrush();
  LOGBRUSH info{};
  GetObjectW(brush, sizeof(info), &info);
  SetBkColor(dc, info.lbColor);
  return reinterpret_cast<LRESULT>(brush);
}

void TfrmMain::DrawLogo(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem != imgMainLogo)
    return;
  const RECT& box = item.rcItem;
  FillRect(item.hDC, &box, ContainerBrush());
  int boxWidth = box.right - box.left;
  int boxHeight = box.bottom - box.top;
  // The smallest drawing that is not smaller than the box, or the largest there is, chosen by
  // the widths in the images' headers: only the drawing shown is decoded, when first drawn,
  // which keeps the decode out of the start before the window shows.
  int chosen = -1;
  for (int i = 0; i < static_cast<int>(std::size(FLogos)); ++i) {
    const int width = PngResourceWidth(FInstance, IDB_LOGO_96 + i);
    if (width <= 0)
      continue;
    chosen = i;
    if (width >= boxWidth)
      break;
  }
  if (chosen < 0)
    return;
  if (!FLogos[chosen])
    FLogos[chosen] = LoadPngResource(FInstance, IDB_LOGO_96 + chosen);
  const HBITMAP logo = FLogos[chosen].Get();
  BITMAP info{};
  if (logo)
    GetObjectW(logo, sizeof(info), &info);
  if (!logo || info.bmWidth <= 0 || info.bmHeight <= 0)
    return;
  // Proportional: as large as fits, from the top-left corner.
  int width = boxWidth;
  int height = MulDiv(info.bmHeight, boxWidth, info.bmWidth);
  if (height > boxHeight) {
    height = boxHeight;
    width = MulDiv(info.bmWidth, boxHeight, info.bmHeight);
  }
  const TMemoryDC source(CreateCompatibleDC(item.hDC));
  const TSelection selected(source.Get(), logo);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(item.hDC, box.left, box.top, width, height, source.Get(), 0, 0, info.bmWidth,
             info.bmHeight, blend);
}

}  // namespace velmora
