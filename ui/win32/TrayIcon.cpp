// Shell_NotifyIconW for the program's one tray icon.
#include "ui/win32/TrayIcon.h"

#include <shellapi.h>

#include "base/WindowMessages.h"
#include "base/win32/SystemFunction.h"

namespace velmora {
namespace {

template <size_t N>
void CopyText(wchar_t (&target)[N], const std::wstring& text) {
  lstrcpynW(target, text.c_str(), static_cast<int>(N));
}

// The system's message filter drops broadcasts from the unelevated Explorer to an elevated
// window unless the window lets them through. Looked up at run time: older systems lack it.
void AllowMessage(HWND window, UINT message) {
  using TChangeFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  static const auto change =
      SystemFunction<TChangeFilterEx>(L"user32.dll", "ChangeWindowMessageFilterEx");
  if (change)
    change(window, message, MSGFLT_ALLOW, nullptr);
}

NOTIFYICONDATAW IconData(HWND owner, UINT id, UINT flags) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = id;
  data.uFlags = flags;
  return data;
}

}  // namespace

TTrayIcon::TTrayIcon() : FTaskbarCreated(RegisterWindowMessageW(kTaskbarCreatedMessageName)) {}

TTrayIcon::~TTrayIcon() {
  Remove();
}

void TTrayIcon::Create(HWND owner, UINT id, UINT callbackMessage, HICON icon,
                       const std::wstring& tip) {
  FOwner = owner;
  FId = id;
  FCallback = callbackMessage;
  if (FIcon.Get() != icon)
    FIcon.Reset(icon);
  FTip = tip;
  if (FTaskbarCreated)
    AllowMessage(owner, FTaskbarCreated);
}

bool TTrayIcon::Add() {
  if (FAdded)
    return true;
  NOTIFYICONDATAW data = IconData(FOwner, FId, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  data.uCallbackMessage = FCallback;
  data.hIcon = FIcon.Get();
  CopyText(data.szTip, FTip);
  FAdded = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  return FAdded;
}

void TTrayIcon::Readd() {
  FAdded = false;
  if (Add())
    return;
  // The icon survived (the message also comes on DPI and taskbar changes): refresh it and
  // keep it counted, so that it is removed at exit.
  NOTIFYICONDATAW data = IconData(FOwner, FId, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  data.uCallbackMessage = FCallback;
  data.hIcon = FIcon.Get();
  CopyText(data.szTip, FTip);
  FAdded = Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void TTrayIcon::Remove() {
  if (!FAdded)
    return;
  NOTIFYICONDATAW data = IconData(FOwner, FId, 0);
  Shell_NotifyIconW(NIM_DELETE, &data);
  FAdded = false;
}

void TTrayIcon::Balloon(const std::wstring& text, UINT timeoutMs) {
  NOTIFYICONDATAW data = IconData(FOwner, FId, NIF_INFO);
  CopyText(data.szInfo, text);
  data.szInfoTitle[0] = L'\0';
  data.uTimeout = timeoutMs;
  data.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

}  // namespace velmora
