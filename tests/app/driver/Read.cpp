// The UI driver's reads (Read.h).
#include "tests/app/driver/Read.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "tests/app/driver/Find.h"
#include "tests/app/driver/ProcessCounts.h"
#include "tests/app/driver/RemoteBuffer.h"

namespace velmora::uidriver {

namespace {

// The hint of a control: asks each tooltip of the program's process for the tool that the
// control is registered as (by handle, under its parent or the main window).
std::wstring ControlHint(HWND main, HWND control) {
  constexpr size_t kTextChars = 1024;
  const size_t textOffset = (sizeof(TTTOOLINFOW) + 15) & ~size_t{15};
  for (HWND tooltip : ProcessTooltips(main)) {
    TRemoteBuffer remote(tooltip, textOffset + kTextChars * sizeof(wchar_t));
    if (!remote.Valid()) {
      continue;
    }
    for (HWND owner : {GetParent(control), main}) {
      TTTOOLINFOW info = {};
      info.cbSize = sizeof(info);
      info.hwnd = owner;
      info.uId = reinterpret_cast<UINT_PTR>(control);
      info.lpszText = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
      const wchar_t empty = 0;
      remote.Write(0, &info, sizeof(info));
      remote.Write(textOffset, &empty, sizeof(empty));
      Send(tooltip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote.Address()));
      std::wstring text(kTextChars, L'\0');
      remote.Read(textOffset, text.data(), kTextChars * sizeof(wchar_t));
      text.resize(std::wcslen(text.c_str()));
      if (!text.empty()) {
        return text;
      }
    }
  }
  return L"";
}

// The items of a tree view in another process, one "item|STATE|text" line each; STATE is the
// item's state image (the check box of a components list).
std::wstring TreeItems(HWND tree) {
  std::wstring lines;
  constexpr size_t kTextChars = 256;
  const size_t textOffset = (sizeof(TVITEMW) + 15) & ~size_t{15};
  TRemoteBuffer remote(tree, textOffset + kTextChars * sizeof(wchar_t));
  if (!remote.Valid()) {
    return lines;
  }
  for (auto item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
       item != nullptr; item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                reinterpret_cast<LPARAM>(item)))) {
    TVITEMW info = {};
    info.mask = TVIF_HANDLE | TVIF_STATE | TVIF_TEXT;
    info.hItem = item;
    info.stateMask = TVIS_STATEIMAGEMASK;
    info.pszText = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
    info.cchTextMax = kTextChars;
    remote.Write(0, &info, sizeof(info));
    Send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()));
    remote.Read(0, &info, sizeof(info));
    std::wstring text(kTextChars, L'\0');
    remote.Read(textOffset, text.data(), kTextChars * sizeof(wchar_t));
    text.resize(std::wcslen(text.c_str()));
    lines +=
        L"item|" + std::to_wstring((info.state & TVIS_STATEIMAGEMASK) >> 12) + L"|" + text + L"\n";
  }
  return lines;
}

}  // namespace

std::wstring ControlText(HWND control) {
  const LRESULT length = Send(control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      Send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::wstring ShownText(HWND control) {
  std::wstring text = ControlText(control);
  text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
  return text;
}

NOTIFYICONDATAW TrayIcon(HWND main) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = main;
  data.uID = 1;
  return data;
}

TResult ReadText(const TCall& call) {
  return Done(ControlText(call.Control));
}

TResult ReadEnabled(const TCall& call) {
  return Flag(IsWindowEnabled(call.Control));
}

TResult ReadVisible(const TCall& call) {
  return Flag(IsWindowVisible(call.Control));
}

TResult ReadCombo(const TCall& call) {
  return Number(Send(call.Control, CB_GETCURSEL, 0, 0));
}

TResult ReadChecked(const TCall& call) {
  return Flag(Send(call.Control, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

TResult ReadLines(const TCall& call) {
  return Number(Send(call.Control, EM_GETLINECOUNT, 0, 0));
}

TResult ReadTopLine(const TCall& call) {
  return Number(Send(call.Control, EM_GETFIRSTVISIBLELINE, 0, 0));
}

TResult ReadHint(const TCall& call) {
  return Done(ControlHint(call.Main, call.Control));
}

TResult ReadFocus(const TCall& call) {
  // The control with the keyboard focus in the program's window thread, by name.
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(call.Main, nullptr), &info);
  return Done(IdName(info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0));
}

TResult ReadWindows(const TCall&) {
  // Shown windows only: a window counts once its creation has finished and it is shown.
  int shown = 0;
  for (HWND window : MainWindows()) {
    shown += IsWindowVisible(window) ? 1 : 0;
  }
  return Done(std::to_wstring(shown));
}

TResult ReadForeground(const TCall& call) {
  return Flag(GetForegroundWindow() == call.Main);
}

TResult ReadWindowVisible(const TCall& call) {
  return Flag(IsWindowVisible(call.Main) && !IsIconic(call.Main));
}

TResult ReadResponds(const TCall& call) {
  // The window thread answers a message within the driver's time-out.
  DWORD_PTR ignored = 0;
  return Flag(SendMessageTimeoutW(call.Main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                  &ignored) != 0);
}

TResult ReadHandle(const TCall& call) {
  return Done(std::to_wstring(reinterpret_cast<INT_PTR>(call.Main)));
}

TResult ReadTrayExists(const TCall& call) {
  // A change without flags succeeds only while the shell holds the icon.
  NOTIFYICONDATAW icon = TrayIcon(call.Main);
  return Flag(Shell_NotifyIconW(NIM_MODIFY, &icon));
}

TResult ReadTrayExistsOf(const TCall& call) {
  // By a window handle from "handle": also after the program has ended.
  const auto main =
      reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(call.Args[1].c_str(), nullptr, 10)));
  NOTIFYICONDATAW icon = TrayIcon(main);
  return Flag(Shell_NotifyIconW(NIM_MODIFY, &icon));
}

TResult ReadProcessCounts(const TCall& call) {
  // What a long run watches for growth in the program's process.
  DWORD processId = 0;
  GetWindowThreadProcessId(call.Main, &processId);
  return Done(L"handles=" + std::to_wstring(ProcessHandleCount(processId)) + L" threads=" +
              std::to_wstring(ProcessThreadCount(processId)));
}

TResult ReadClipboard(const TCall&) {
  // Wine's clipboard manager opens the clipboard for a moment after every change to hand the
  // text to X; a loaded machine stretches that moment, so try for a while.
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (!OpenClipboard(nullptr)) {
    if (GetTickCount64() > deadline) {
      return Error(L"cannot open the clipboard");
    }
    Sleep(50);
  }
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return Done(text);
}

TResult ReadMessageBox(const TCall& call) {
  // The text of the program's message box; "close" also presses its OK button.
  HWND box = FindMessageBox(call.Main);
  if (box == nullptr) {
    return Error(L"no message box");
  }
  std::wstring text = ControlText(GetDlgItem(box, 0xFFFF));
  if (call.Text(1) == L"close") {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return Done(text);
}

TResult ReadDialogControls(const TCall& call) {
  // The shown controls, "class|enabled|checked|text" a line, a tree's items after it.
  HWND dialog = FindDialog(call.Args[1]);
  if (dialog == nullptr) {
    return Error(L"no dialog titled *" + call.Args[1] + L"*");
  }
  std::wstring lines;
  for (HWND control : ChildWindows(dialog)) {
    if (!IsWindowVisible(control)) {
      continue;
    }
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    lines += std::wstring(className) + L"|" + (IsWindowEnabled(control) ? L"1" : L"0") + L"|" +
             (Send(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0") + L"|" +
             ShownText(control) + L"\n";
    if (_wcsicmp(className, WC_TREEVIEWW) == 0) {
      lines += TreeItems(control);
    }
  }
  return Done(lines);
}

}  // namespace velmora::uidriver
