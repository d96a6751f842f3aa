// Timers, image lists and the tray menu of the main window.
#include "ui/win32/uDataModule.h"

#include <initializer_list>
#include <utility>

#include "ui/resource.h"
#include "ui/win32/ufrmMain.h"

namespace velmora {

TDataModuleX* DataModuleX = nullptr;
uint32_t LastRefreshTick = GetTickCount();
TReconnectState ReconnectState;

namespace {

constexpr wchar_t kClassName[] = L"TDataModuleX";

// An image list of size x size pixels with the given icons, drawn from the icon resources.
TScopedImageList LoadImageList(HINSTANCE instance, int size, std::initializer_list<int> icons) {
  TScopedImageList list(
      ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, static_cast<int>(icons.size()), 0));
  if (!list)
    return list;
  for (int id : icons) {
    const TScopedIcon icon(
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
    if (icon)
      ImageList_AddIcon(list.Get(), icon.Get());
  }
  return list;
}

}  // namespace

void TTimer::SetEnabled(bool enabled) {
  if (enabled == FEnabled || !FOwner)
    return;
  FEnabled = enabled;
  if (enabled)
    SetTimer(FOwner, FId, FInterval, nullptr);
  else
    KillTimer(FOwner, FId);
}

TDataModuleX::TDataModuleX(HINSTANCE instance) : FInstance(instance) {}

TDataModuleX::~TDataModuleX() {
  tmrEnableRefresh.SetEnabled(false);
  tmrReconnect.SetEnabled(false);
  if (FHandle)
    DestroyWindow(FHandle);
}

bool TDataModuleX::Create(UINT dpi) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(FInstance, kClassName, &wc)) {
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = FInstance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc))
      return false;
  }
  FHandle =
      CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, FInstance, this);
  if (!FHandle)
    return false;
  tmrEnableRefresh.SetOwner(FHandle);
  tmrReconnect.SetOwner(FHandle);

  pmTray.Reset(CreatePopupMenu());
  AppendMenuW(pmTray.Get(), MF_STRING, IDM_miShowHide, L"Показать окно программы");
  AppendMenuW(pmTray.Get(), MF_STRING, IDM_miCloseApp, L"Закрыть программу");
  SetMenuDefaultItem(pmTray.Get(), IDM_miShowHide, FALSE);

  LoadImages(dpi);
  return true;
}

void TDataModuleX::LoadImages(UINT dpi) {
  // The old lists go once the controls have the new ones.
  const TScopedImageList old[] = {std::move(il32), std::move(il16), std::move(il16_2)};
  int size = MulDiv(16, static_cast<int>(dpi), 96);
  il32 = LoadImageList(FInstance, size, {IDI_IL32_GREY, IDI_IL32_GREEN, IDI_IL32_RED});
  il16 = LoadImageList(FInstance, size, {IDI_IL16_CLEAR});
  il16_2 = LoadImageList(FInstance, size, {IDI_IL16_2_REFRESH});
  if (frmMain)
    frmMain->ApplyImages();
}

LRESULT CALLBACK TDataModuleX::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && DataModuleX) {
    if (wParam == DataModuleX->tmrEnableRefresh.Id())
      DataModuleX->tmrEnableRefreshTimer();
    if (wParam == DataModuleX->tmrReconnect.Id())
      DataModuleX->tmrReconnectTimer();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void TDataModuleX::tmrEnableRefreshTimer() {
  if (!frmMain || !RefreshMayBeEnabled(GetTickCount(), LastRefreshTick))
    return;
  if (!IsWindowEnabled(frmMain->bRefresh))
    EnableWindow(frmMain->bRefresh, TRUE);
  // Nothing to wait for until the next click starts the timer again: an idle program wakes
  // only when it must.
  tmrEnableRefresh.SetEnabled(false);
}

void TDataModuleX::tmrReconnectTimer() {
  tmrReconnect.SetEnabled(false);  // one redial per start of the timer
  if (frmMain)
    frmMain->bConnectClick(TDialAsk::Automatic);
}

void TDataModuleX::pmTrayPopup() {
  if (!frmMain)
    return;
  const wchar_t* caption =
      IsWindowVisible(frmMain->Handle()) ? L"Скрыть окно программы" : L"Показать окно программы";
  ModifyMenuW(pmTray.Get(), IDM_miShowHide, MF_BYCOMMAND | MF_STRING, IDM_miShowHide, caption);
  SetMenuDefaultItem(pmTray.Get(), IDM_miShowHide, FALSE);
}

void TDataModuleX::miShowHideClick() {
  if (!frmMain)
    return;
  if (IsWindowVisible(frmMain->Handle())) {
    ShowWindow(frmMain->Handle(), SW_HIDE);
    frmMain->DownToTrayMsg();
  } else {
    frmMain->ShowForm();
  }
}

void TDataModuleX::miCloseAppClick() {
  if (frmMain)
    frmMain->CloseApplication();
}

}  // namespace velmora
