// The tray icon and the window's visibility: closing hides the window to the tray with a
// balloon; the program ends through the tray menu, at logoff or shutdown.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "engine/AppTitle.h"
#include "ui/resource.h"
#include "ui/uDataModule.h"
#include "ui/ufrmMain.h"

namespace velmora {
namespace {

constexpr UINT kTrayIconId = 1;

NOTIFYICONDATAW TrayData(HWND window) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = kTrayIconId;
  return data;
}

template <size_t N>
void CopyText(wchar_t (&target)[N], const std::wstring& text) {
  lstrcpynW(target, text.c_str(), static_cast<int>(N));
}

}  // namespace

void TfrmMain::AddTrayIcon() {
  if (FTrayIconAdded)
    return;
  if (!FTrayIcon)
    FTrayIcon = static_cast<HICON>(LoadImageW(FInstance, MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
  NOTIFYICONDATAW data = TrayData(FHandle);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = FTrayIcon;
  CopyText(data.szTip, kApplicationTitle);
  FTrayIconAdded = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TfrmMain::RemoveTrayIcon() {
  if (FTrayIconAdded) {
    NOTIFYICONDATAW data = TrayData(FHandle);
    Shell_NotifyIconW(NIM_DELETE, &data);
    FTrayIconAdded = false;
  }
  if (FTrayIcon)
    DestroyIcon(FTrayIcon);
  FTrayIcon = nullptr;
}

void TfrmMain::DownToTrayMsg() {
  NOTIFYICONDATAW data = TrayData(FHandle);
  data.uFlags = NIF_INFO;
  CopyText(data.szInfo, std::wstring(kApplicationTitle) + L" свёрнут в трей");
  data.szInfoTitle[0] = L'\0';
  data.uTimeout = 3000;
  data.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TfrmMain::ShowForm() {
  ShowWindow(FHandle, SW_SHOW);
  if (IsIconic(FHandle))
    ShowWindow(FHandle, SW_RESTORE);
  SetForegroundWindow(FHandle);
  BringWindowToTop(FHandle);
}

void TfrmMain::FormCloseQuery() {
  if (FCloseQueryDetached) {
    // The program ends: the message loop stops, the window is destroyed after it.
    ShowWindow(FHandle, SW_HIDE);
    PostQuitMessage(0);
    return;
  }
  ShowWindow(FHandle, SW_HIDE);
  DownToTrayMsg();
}

void TfrmMain::CloseApplication() {
  FCloseQueryDetached = true;
  SendMessageW(FHandle, WM_CLOSE, 0, 0);
}

void TfrmMain::WMQueryEndSession() {
  FormCloseQuery();  // hides with a balloon; the session may end all the same
  FCloseQueryDetached = true;
  PostQuitMessage(0);
}

void TfrmMain::WMEndSession(WPARAM ending) {
  if (!ending)
    return;
  FCloseQueryDetached = true;
  PostQuitMessage(0);
}

void TfrmMain::TrayIconClick() {
  if (IsWindowVisible(FHandle)) {
    ShowWindow(FHandle, SW_HIDE);
    DownToTrayMsg();
  } else {
    ShowForm();
  }
}

void TfrmMain::OnTrayCallback(LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case WM_LBUTTONDOWN:
      FTrayLeftDown = true;
      break;
    case WM_LBUTTONDBLCLK:
      FTrayLeftDown = false;  // the second click of a double click is not a click
      break;
    case WM_LBUTTONUP:
      if (FTrayLeftDown) {
        FTrayLeftDown = false;
        TrayIconClick();
      }
      break;
    case WM_RBUTTONUP: {
      if (!DataModuleX)
        break;
      SetForegroundWindow(FHandle);
      DataModuleX->pmTrayPopup();
      POINT at;
      GetCursorPos(&at);
      TrackPopupMenuEx(DataModuleX->pmTray, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, FHandle,
                       nullptr);
      PostMessageW(FHandle, WM_NULL, 0, 0);
      break;
    }
  }
}

}  // namespace velmora
