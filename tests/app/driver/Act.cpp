// The UI driver's actions (Act.h).
#include "tests/app/driver/Act.h"

#include <commctrl.h>

#include <cstring>
#include <cwchar>

#include "base/WindowMessages.h"
#include "base/win32/Scoped.h"
#include "tests/app/driver/Find.h"
#include "tests/app/driver/Read.h"

namespace velmora::uidriver {

namespace {

// The clipboard holder's window, destroyed when the hold ends.
struct TWindowCloser : TNullIsNone<HWND> {
  static bool Close(HWND window) { return DestroyWindow(window) != FALSE; }
};

}  // namespace

TResult ActClick(const TCall& call) {
  if (!IsWindowEnabled(call.Control) || !IsWindowVisible(call.Control)) {
    return Error(L"control is disabled or hidden: " + call.Args[1]);
  }
  // Posted: a click that opens a modal box must not hold the driver.
  PostMessageW(call.Control, BM_CLICK, 0, 0);
  return Done(L"clicked");
}

TResult ActClickAt(const TCall& call) {
  // A left click at a point of the control's client area (links have no BM_CLICK).
  const int x = call.Integer(2, 1);
  const int y = call.Integer(3, 1);
  PostMessageW(call.Control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(call.Control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  return Done(L"clicked");
}

TResult ActKey(const TCall& call) {
  // A key pressed and released on the control (a virtual-key code, decimal), through the
  // program's message loop, which gives it the dialog keys.
  const auto key = static_cast<WPARAM>(call.Integer(2, VK_RETURN));
  PostMessageW(call.Control, WM_KEYDOWN, key, 1);
  PostMessageW(call.Control, WM_KEYUP, key, 0xC0000001);
  return Done(L"pressed");
}

TResult ActWheel(const TCall& call) {
  // Notches away from the user (negative: towards), with the cursor over the control. The
  // turn goes through the program's message loop, as the system delivers it.
  const int notches = call.Integer(2, -1);
  RECT rect;
  GetWindowRect(call.Control, &rect);
  const int x = (rect.left + rect.right) / 2;
  const int y = (rect.top + rect.bottom) / 2;
  SetCursorPos(x, y);
  PostMessageW(call.Control, WM_MOUSEWHEEL,
               MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))),
               MAKELPARAM(x, y));
  return Done(L"posted");
}

TResult ActSetText(const TCall& call) {
  const std::wstring text = call.Text(2);
  // An edit answers WM_SETTEXT with its change notification, as typing would.
  Send(call.Control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return Done(ControlText(call.Control));
}

TResult ActChoose(const TCall& call) {
  // A list's item as a user picks it: the selection, then the change notification.
  Send(call.Control, CB_SETCURSEL, static_cast<WPARAM>(call.Integer(2, 0)), 0);
  Send(GetParent(call.Control), WM_COMMAND, MAKEWPARAM(call.ControlId, CBN_SELCHANGE),
       reinterpret_cast<LPARAM>(call.Control));
  return Number(Send(call.Control, CB_GETCURSEL, 0, 0));
}

TResult ActSelect(const TCall& call) {
  // The page control: moving the focus to a tab selects it and notifies the window.
  Send(call.Control, TCM_SETCURFOCUS, static_cast<WPARAM>(call.Integer(2, 0)), 0);
  return Number(Send(call.Control, TCM_GETCURSEL, 0, 0));
}

TResult ActHide(const TCall& call) {
  ShowWindow(call.Main, SW_HIDE);  // as if hidden to the tray
  return Flag(IsWindowVisible(call.Main));
}

TResult ActClose(const TCall& call) {
  PostMessageW(call.Main, WM_CLOSE, 0, 0);  // the title bar's close button
  return Done(L"closed");
}

TResult ActShowRequest(const TCall& call) {
  // What a second start broadcasts; "self" carries the window's own handle instead of 0.
  const UINT message = RegisterWindowMessageW(kShowFormMessageName);
  const bool self = call.Text(1) == L"self";
  PostMessageW(call.Main, message, self ? reinterpret_cast<WPARAM>(call.Main) : 0, 0);
  return Done(L"posted");
}

TResult ActQueryEndSession(const TCall& call) {
  // What the system asks at log-off; the answer is printed (1: may end).
  return Number(Send(call.Main, WM_QUERYENDSESSION, 0, 0));
}

TResult ActEndSession(const TCall& call) {
  // The outcome of a log-off: 1 it ends, 0 another program cancelled it.
  Send(call.Main, WM_ENDSESSION, call.Text(1) == L"1" ? TRUE : FALSE, 0);
  return Done(L"sent");
}

TResult ActResume(const TCall& call) {
  PostMessageW(call.Main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  return Done(L"posted");
}

TResult ActTaskbarCreated(const TCall& call) {
  PostMessageW(call.Main, RegisterWindowMessageW(kTaskbarCreatedMessageName), 0, 0);
  return Done(L"posted");
}

TResult ActTrayRemove(const TCall& call) {
  // As a restarted Explorer would: the shell no longer holds the icon.
  NOTIFYICONDATAW icon = TrayIcon(call.Main);
  return Flag(Shell_NotifyIconW(NIM_DELETE, &icon));
}

TResult ActDialogClick(const TCall& call) {
  // The first shown, enabled button of that text in another program's dialog.
  HWND dialog = FindDialog(call.Args[1]);
  if (dialog == nullptr) {
    return Error(L"no dialog titled *" + call.Args[1] + L"*");
  }
  for (HWND control : ChildWindows(dialog)) {
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    if (IsWindowVisible(control) && _wcsicmp(className, L"Button") == 0 &&
        IsWindowEnabled(control) && ShownText(control) == call.Args[2]) {
      PostMessageW(control, BM_CLICK, 0, 0);
      return Done(L"clicked");
    }
  }
  return Error(L"no enabled button " + call.Args[2]);
}

TResult ActHoldClipboard(const TCall& call) {
  // Holds the clipboard with text for ms milliseconds, as a busy program would.
  const auto ms = static_cast<DWORD>(call.Integer(1, 1000));
  const TScoped<TWindowCloser> owner(
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (!owner || !OpenClipboard(owner.Get())) {
    return Error(L"cannot open the clipboard");
  }
  EmptyClipboard();
  const std::wstring text = call.Text(2);
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (memory) {
    std::memcpy(GlobalLock(memory.Get()), text.c_str(), bytes);
    GlobalUnlock(memory.Get());
    if (SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr) {
      memory.Release();  // the clipboard's now
    }
  }
  call.Say(L"held");
  Sleep(ms);
  CloseClipboard();
  // Its text stays readable while the owner lives on a little.
  call.Say(L"released");
  Sleep(5000);
  return Done(L"ended");
}

}  // namespace velmora::uidriver
