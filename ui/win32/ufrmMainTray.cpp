// The tray icon and the window's visibility: closing hides the window to the tray with a
// balloon; the program ends through the tray menu, at logoff or shutdown.
#include <windows.h>

#include <string>

#include "engine/AppTitle.h"
#include "ui/resource.h"
#include "ui/win32/uDataModule.h"
#include "ui/win32/ufrmMain.h"

namespace velmora {
namespace {

constexpr UINT kTrayIconId = 1;

}  // namespace

void TfrmMain::AddTrayIcon() {
  if (FTray.Added())
    return;
  FTray.Create(FHandle, kTrayIconId, kTrayCallbackMessage,
               static_cast<HICON>(LoadImageW(FInstance, MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0)),
               kApplicationTitle);
  FTray.Add();
}

void TfrmMain::RemoveTrayIcon() {
  FTray.Remove();
}

void TfrmMain::DownToTrayMsg() {
  FTray.Balloon(std::wstring(kApplicationTitle) + L" свёрнут в трей", 3000);
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
  // Hides with a balloon and lets the session end, but goes on running: another program may
  // still cancel the log-off, and the line must then stay watched. WM_ENDSESSION ends it.
  FormCloseQuery();
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
      TrackPopupMenuEx(DataModuleX->pmTray.Get(), TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y,
                       FHandle, nullptr);
      PostMessageW(FHandle, WM_NULL, 0, 0);
      break;
    }
  }
}

}  // namespace velmora
