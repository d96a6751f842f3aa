// The main window: its creation and destruction, the connection page's handlers and the
// reaction to the connector's notifications.
#include "ui/win32/ufrmMain.h"

#include <shellapi.h>

#include "BuildConfig.h"
#include "engine/AppTitle.h"
#include "engine/DialCredentials.h"
#include "engine/Phonebook.h"
#include "engine/Rasphone.h"
#include "engine/SystemFolders.h"
#include "engine/Ticks.h"
#include "engine/uConnectorClass.h"
#include "ui/ConnectionLogic.h"
#include "ui/ProviderInfo.h"
#include "ui/SettingsText.h"
#include "ui/resource.h"
#include "ui/win32/uDataModule.h"
#include "ui/win32/EditButton.h"
#include "ui/win32/HelpGroup.h"
#include "ui/win32/Clipboard.h"
#include "ui/win32/ControlText.h"
#include "ui/win32/LogMemo.h"

namespace velmora {

UINT ShowFormMsg = RegisterWindowMessageW(kShowFormMessageName);
TfrmMain* frmMain = nullptr;
std::unique_ptr<TConnector> Connector;

namespace {

static_assert(kAppMessageBase == WM_APP);

constexpr uint32_t kAccountQueryDelayMs = 7000;
// Which image bConnect shows, for tools that look at the window from outside: 1 + index.
constexpr wchar_t kConnectImageProp[] = L"VelmoraConnectImage";

}  // namespace

bool CreateMainForms(HINSTANCE instance, int showCommand) {
  return CreateMainForms(instance, showCommand, nullptr);
}

bool CreateMainForms(HINSTANCE instance, int showCommand, const TConnectorEnv* connectorEnv) {
  // The program's one registration of the common controls, before the first of them is made.
  // No style engine here: the manifest's Common Controls 6 give the system's themed look.
  INITCOMMONCONTROLSEX icc{
      sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
  InitCommonControlsEx(&icc);
  frmMain = new TfrmMain(instance);
  if (!frmMain->Create(connectorEnv)) {
    DestroyMainForms();
    return false;
  }
  DataModuleX = new TDataModuleX(instance);
  if (!DataModuleX->Create(frmMain->Dpi())) {
    DestroyMainForms();
    return false;
  }
  ShowWindow(frmMain->Handle(), showCommand);
  UpdateWindow(frmMain->Handle());
  // After the window: adding the icon waits for the shell's answer, which the window need not.
  frmMain->AddTrayIcon();
  return true;
}

void DestroyMainForms() {
  if (frmMain) {
    if (frmMain->Handle())
      DestroyWindow(frmMain->Handle());
    delete frmMain;
    frmMain = nullptr;
  }
  delete DataModuleX;
  DataModuleX = nullptr;
}

bool IsMainFormDialogMessage(MSG& msg) {
  if (!frmMain || !frmMain->Handle())
    return false;
  // A wheel turn with the cursor over the shown help list scrolls the list, whichever control
  // has the focus. The pages share one area: on the other pages the turn is theirs.
  if (msg.message == WM_MOUSEWHEEL && frmMain->catHelp && IsWindowVisible(frmMain->catHelp) &&
      (msg.hwnd == frmMain->Handle() || IsChild(frmMain->Handle(), msg.hwnd))) {
    RECT area;
    POINT cursor;
    GetWindowRect(frmMain->catHelp, &area);
    if (GetCursorPos(&cursor) && PtInRect(&area, cursor)) {
      HelpGroupWheel(frmMain->catHelp, GET_WHEEL_DELTA_WPARAM(msg.wParam),
                     (GET_KEYSTATE_WPARAM(msg.wParam) & MK_SHIFT) != 0);
      return true;
    }
  }
  return IsDialogMessageW(frmMain->Handle(), &msg);
}

TfrmMain::TfrmMain(HINSTANCE instance) : FInstance(instance) {}

TfrmMain::~TfrmMain() = default;

LRESULT CALLBACK TfrmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TfrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->FHandle = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self)
    return DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = self->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->FHandle = nullptr;
  }
  return result;
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      DrawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == imgMainLogo) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CONNECTOR:
      WMConnector(wParam);
      return 0;
    case WM_ACTIVATE:
      // Keyboard focus as in a dialog: kept while the window is inactive, first on the login.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(FHandle, focus))
          FFocus = focus;
      } else {
        SetFocus(FFocus && IsWindow(FFocus) ? FFocus : ebLogin);
      }
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_WINDOWPOSCHANGING:
      SnapToWorkArea(*reinterpret_cast<WINDOWPOS*>(lParam));
      break;
    case WM_CLOSE:
      FormCloseQuery();
      return 0;
    case WM_QUERYENDSESSION:
      WMQueryEndSession();
      return TRUE;
    case WM_ENDSESSION:
      WMEndSession(wParam);
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)
        WMResume();
      return TRUE;
    case WM_DESTROY:
      RemoveTrayIcon();
      FormDestroy();
      return 0;
    case kTrayCallbackMessage:
      OnTrayCallback(lParam);
      return 0;
    case kUpdateDoneMessage:
      UpdateDone(wParam != 0,
                 std::unique_ptr<std::wstring>(reinterpret_cast<std::wstring*>(lParam)));
      return 0;
  }
  if (message == FTray.TaskbarCreatedMessage() && message != 0) {
    FTray.Readd();
    return 0;
  }
  if (DefaultHandler(message, wParam))
    return 0;
  return DefWindowProcW(FHandle, message, wParam, lParam);
}

bool TfrmMain::DefaultHandler(UINT message, WPARAM wParam) {
  if (message != ShowFormMsg || ShowFormMsg == 0)
    return false;
  if (reinterpret_cast<HWND>(wParam) != FHandle)
    ShowForm();
  return true;
}

// Each control's notifications and what the window does with them, one row each.
void TfrmMain::OnCommand(HWND control, int id, int notification) {
  using THandler = void (*)(TfrmMain&, HWND control);
  // A menu item's WM_COMMAND carries 0, like BN_CLICKED.
  constexpr int kMenuCommand = 0;
  static constexpr struct {
    int Id;
    int Notification;
    THandler Handler;
  } kRoutes[] = {
      {IDC_bConnect, BN_CLICKED, [](TfrmMain& w, HWND) { w.bConnectClick(TDialAsk::ByHand); }},
      {IDC_bDisconnect, BN_CLICKED, [](TfrmMain& w, HWND) { w.bDisconnectClick(); }},
      {IDC_bRefresh, BN_CLICKED, [](TfrmMain& w, HWND) { w.bRefreshClick(); }},
      {IDC_ebLogin, EN_CHANGE, [](TfrmMain& w, HWND) { w.ebLoginChange(); }},
      {IDC_ebPassword, EN_CHANGE, [](TfrmMain& w, HWND) { w.ebPasswordChange(); }},
      {IDC_ebLoginRightButton, BN_CLICKED,
       [](TfrmMain& w, HWND control) { w.ebLoginRightButtonClick(control); }},
      {IDC_ebPasswordRightButton, BN_CLICKED,
       [](TfrmMain& w, HWND control) { w.ebLoginRightButtonClick(control); }},
      {IDC_cbHidePassword, BN_CLICKED, [](TfrmMain& w, HWND) { w.cbHidePasswordClick(); }},
      {IDC_cbSaveAuthData, BN_CLICKED, [](TfrmMain& w, HWND) { w.cbSaveAuthDataClick(); }},
      {IDC_imgMainLogo, STN_CLICKED, [](TfrmMain& w, HWND) { w.imgMainLogoClick(); }},
      {IDC_bApplySettings, BN_CLICKED, [](TfrmMain& w, HWND) { w.bApplySettingsClick(); }},
      {IDM_miShowHide, kMenuCommand,
       [](TfrmMain&, HWND) {
         if (DataModuleX)
           DataModuleX->miShowHideClick();
       }},
      {IDM_miCloseApp, kMenuCommand,
       [](TfrmMain&, HWND) {
         if (DataModuleX)
           DataModuleX->miCloseAppClick();
       }},
  };
  for (const auto& route : kRoutes) {
    if (route.Id == id && route.Notification == notification) {
      route.Handler(*this, control);
      return;
    }
  }
}

LRESULT TfrmMain::OnNotify(const NMHDR& header) {
  using THandler = void (*)(TfrmMain&, const NMHDR&);
  constexpr THandler kFollowAccountLink = [](TfrmMain& w, const NMHDR& header) {
    w.lbAccountLinkLinkClick(reinterpret_cast<const NMLINK&>(header).item.szUrl);
  };
  constexpr THandler kCopyLog = [](TfrmMain& w, const NMHDR&) { w.lbCopyClick(); };
  static constexpr struct {
    UINT_PTR Id;
    UINT Code;
    THandler Handler;
  } kRoutes[] = {
      {IDC_pc, TCN_SELCHANGE,
       [](TfrmMain& w, const NMHDR&) {
         w.ShowPage(static_cast<int>(SendMessageW(w.pc, TCM_GETCURSEL, 0, 0)));
       }},
      {IDC_lbAccountLink, NM_CLICK, kFollowAccountLink},
      {IDC_lbAccountLink, NM_RETURN, kFollowAccountLink},
      {IDC_lbCopy, NM_CLICK, kCopyLog},
      {IDC_lbCopy, NM_RETURN, kCopyLog},
  };
  for (const auto& route : kRoutes) {
    if (route.Id == header.idFrom && route.Code == header.code) {
      route.Handler(*this, header);
      break;
    }
  }
  return 0;
}

void TfrmMain::FormCreate(const TConnectorEnv* connectorEnv) {
  FDownloadLink.clear();
  FInUpdateProgress = false;
  Connector =
      connectorEnv ? std::make_unique<TConnector>(*connectorEnv) : std::make_unique<TConnector>();
  Connector->SetFormHandle(reinterpret_cast<uintptr_t>(FHandle));
  SetConnectCaption(kCaptionConnect);
  SetWindowTextW(FHandle, kApplicationTitle);
  FRASFilename = FormRasPhonebookPath(AllUsersDataFolder());
  WriteRasphoneEntry(FRASFilename);
  LoadLoginData();
  LoadSettings();
  FConnectOnStart = SettingOn(IDC_cbAutoConnect) && GetWindowTextLengthW(ebLogin) > 0 &&
                    GetWindowTextLengthW(ebPassword) > 0;
}

void TfrmMain::FormDestroy() {
  Connector.reset();
}

void TfrmMain::bConnectClick(TDialAsk ask) {
  // Asked before the caption changes. A dial that is not made leaves the page as it was, and a
  // refused click keeps a hang-up by hand's mark, so no automatic dial of it follows either.
  const TDialGate gate =
      Connector ? DecideDial(Connector->Login(), Connector->Password(), ask) : TDialGate{};
  if (!gate.Dial) {
    if (!gate.Message.empty())
      MessageBoxW(FHandle, gate.Message.c_str(), kApplicationTitle, MB_OK | MB_ICONWARNING);
    if (!gate.LogLine.empty())
      AppendLog(gate.LogLine);
    if (gate.EnableConnect)
      EnableWindow(bConnect, TRUE);
    return;
  }
  if (ask == TDialAsk::ByHand)
    NoteDialByHand(ReconnectState);
  SetConnectCaption(kCaptionConnecting);
  if (Connector && Connector->Connect())
    EnableWindow(bConnect, FALSE);
}

void TfrmMain::bDisconnectClick() {
  // The subscriber wants the line down: no automatic dial follows this hang-up.
  NoteHangUpByHand(ReconnectState);
  if (DataModuleX)
    DataModuleX->tmrReconnect.SetEnabled(false);
  if (Connector && Connector->Disconnect())
    EnableWindow(bDisconnect, FALSE);
}

void TfrmMain::WMResume() {
  // Sleep may have broken the line: check it now instead of at the next 20 s tick. A dial or
  // hang-up holding the checks off asks for one itself when it ends.
  if (Connector && Connector->NextPingCheck() != kHoldOff)
    Connector->SetNextPingCheck(kDueNow);
}

void TfrmMain::bRefreshClick() {
  // Due at once; 0 rather than the tick itself, which could be the hold-off value.
  if (Connector)
    Connector->SetNextUserAccountCheck(kDueNow);
  EnableWindow(bRefresh, FALSE);
  LastRefreshTick = GetTickCount();
  if (DataModuleX)
    DataModuleX->tmrEnableRefresh.SetEnabled(true);
}

void TfrmMain::ebLoginChange() {
  CredentialsChanged();
}

void TfrmMain::ebPasswordChange() {
  CredentialsChanged();
}

void TfrmMain::CredentialsChanged() {
  std::wstring login = WindowText(ebLogin);
  std::wstring password = WindowText(ebPassword);
  if (IsChecked(cbSaveAuthData))
    SaveLoginData(login, password, /*typing=*/true);
  if (!Connector)
    return;
  Connector->SetLogin(login);
  Connector->SetPassword(password);
  Connector->SetNextUserAccountCheck(DeadlineAfter(GetTickCount(), kAccountQueryDelayMs));
}

void TfrmMain::ebLoginRightButtonClick(HWND sender) {
  if (sender == ebLoginRightButton)
    SetEditText(ebLogin, L"");
  if (sender == ebPasswordRightButton)
    SetEditText(ebPassword, L"");
}

void TfrmMain::cbHidePasswordClick() {
  SendMessageW(ebPassword, EM_SETPASSWORDCHAR, IsChecked(cbHidePassword) ? L'*' : 0, 0);
  InvalidateRect(ebPassword, nullptr, TRUE);
}

void TfrmMain::imgMainLogoClick() {
  ShellExecuteW(FHandle, L"open", HomePageUrl().c_str(), nullptr, nullptr, SW_SHOW);
}

void TfrmMain::lbAccountLinkLinkClick(const std::wstring& link) {
  ShellExecuteW(FHandle, L"open", link.c_str(), nullptr, nullptr, SW_SHOW);
}

void TfrmMain::lbCopyClick() {
  if (!CopyTextToClipboard(FHandle, WindowText(mInfo)))
    MessageBoxW(FHandle, L"Не удалось скопировать лог в буфер обмена.", kApplicationTitle,
                MB_OK | MB_ICONERROR);
}

bool TfrmMain::ListIsOn(HWND list) const {
  return ListIndexIsOn(static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)));
}

void TfrmMain::SetConnectCaption(const wchar_t* caption) {
  SetWindowTextW(bConnect, caption);
}

void TfrmMain::SetConnectImage(int image) {
  if (image < 0 || image > 2)
    return;
  FConnectImage = image;
  SetPropW(bConnect, kConnectImageProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(image + 1)));
  if (!FConnectImages[image])
    return;
  BUTTON_IMAGELIST list{};
  list.himl = FConnectImages[image].Get();
  list.margin.left = FLayout.Scale(10);
  list.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
  SendMessageW(bConnect, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
  InvalidateRect(bConnect, nullptr, TRUE);
}

void TfrmMain::ApplyImages() {
  if (!DataModuleX)
    return;
  for (int i = 0; i < 3; ++i) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(DataModuleX->il32.Get(), &cx, &cy);
    FConnectImages[i].Reset(ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 1, 0));
    const TScopedIcon icon(ImageList_GetIcon(DataModuleX->il32.Get(), i, ILD_NORMAL));
    if (icon)
      ImageList_AddIcon(FConnectImages[i].Get(), icon.Get());
  }
  SetConnectImage(FConnectImage);
  BUTTON_IMAGELIST refresh{};
  refresh.himl = DataModuleX->il16_2.Get();
  refresh.uAlign = BUTTON_IMAGELIST_ALIGN_CENTER;
  SendMessageW(bRefresh, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&refresh));
  InvalidateRect(bRefresh, nullptr, TRUE);
  SetRightButtonImage(ebLogin, DataModuleX->il16.Get());
  SetRightButtonImage(ebPassword, DataModuleX->il16.Get());
}

void TfrmMain::SetValueLabel(HWND label, const std::wstring& text) {
  if (WindowText(label) != text)
    SetWindowTextW(label, text.c_str());
  FTooltips.Set(label, text);
}

void TfrmMain::AppendLog(const std::wstring& text, bool trim) {
  TEditLogMemo memo(mInfo);
  AppendToLog(memo, text, trim);
}

void TfrmMain::WMConnector(WPARAM code) {
  if (!Connector)
    return;
  switch (code) {
    case cnLineChecked: {
      bool connected = Connector->PingStatus();
      TLineCheckDecision d =
          DecideLineChecked(connected, SettingOn(IDC_cbAutoReconnect), GetTickCount(),
                            FConnectOnStart, ReconnectState, build::kReconnectPauseMs);
      EnableWindow(bDisconnect, d.View.DisconnectEnabled);
      EnableWindow(bConnect, d.View.ConnectEnabled);
      SetConnectCaption(d.View.Caption);
      SetConnectImage(d.View.Image);
      if (d.StartReconnectTimer && DataModuleX)
        DataModuleX->tmrReconnect.SetEnabled(true);
      break;
    }
    case cnAccountInfo: {
      Connector->UserInfoIfChanged(FUserInfoSeen, FUserInfo);  // copied only after a new answer
      const TUserInfo& info = FUserInfo;
      if (IsUpdateAnnounced(info[ufErrorCode], SettingOn(IDC_cbAutoUpdate))) {
        // One attempt a run: later announcements are ignored, everything else is handled.
        if (!FInUpdateProgress)
          EnterUpdate(info);
        break;
      }
      // The notification comes every second; the panel and its hints change only with a new
      // answer, and rewriting them each time kept the idle window busy.
      if (FPanelShows == FUserInfoSeen)
        break;
      SetValueLabel(lbContractInfo, info[ufContract]);
      SetValueLabel(lbFIOInfo, info[ufName]);
      SetValueLabel(lbTariffInfo, info[ufTariff]);
      SetValueLabel(lbBalanceInfo, info[ufBalance]);
      SetValueLabel(lbDieDateInfo, info[ufDate]);
      FPanelShows = FUserInfoSeen;
      break;
    }
    case cnHangUp:
      AppendLog(Connector->ConsoleOutput());
      SetConnectCaption(kCaptionConnect);
      Connector->SetNextPingCheck(kDueNow);
      break;
    case cnDialDone: {
      if (DataModuleX)
        DataModuleX->tmrReconnect.SetEnabled(false);
      std::wstring output = Connector->ConsoleOutput();
      TDialDoneDecision d = DecideDialDone(GetRasphoneErrorCode(output), IsDialRefusedLine(output));
      if (d.EnableConnect)
        EnableWindow(bConnect, TRUE);
      if (d.RequestLineCheck)
        Connector->SetNextPingCheck(kDueNow);
      SetConnectCaption(d.Caption);
      SetConnectImage(d.Image);
      AppendLog(output, /*trim=*/false);
      AppendLog(kLogSeparator);
      break;
    }
    case cnDialStarted:
      EnableWindow(bDisconnect, FALSE);
      EnableWindow(bConnect, FALSE);
      SetConnectCaption(kCaptionConnecting);
      SetConnectImage(kImageGrey);
      break;
  }
}

}  // namespace velmora
