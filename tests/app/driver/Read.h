// The UI driver's reads: what the program's window and controls show, its tray icon, its
// message box, the clipboard, its process's handles and threads, another program's dialog.
// The handlers answer the read commands of the command table (CommandTable.cpp).
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "tests/app/driver/Command.h"

namespace velmora::uidriver {

// A window's text as WM_GETTEXT gives it.
std::wstring ControlText(HWND control);
// A control's text as a user reads it: without the "&" that marks its access key.
std::wstring ShownText(HWND control);
// The record of the program's tray icon (its window, ID 1), for the shell's icon calls.
NOTIFYICONDATAW TrayIcon(HWND main);

TResult ReadText(const TCall& call);
TResult ReadEnabled(const TCall& call);
TResult ReadVisible(const TCall& call);
TResult ReadCombo(const TCall& call);
TResult ReadChecked(const TCall& call);
TResult ReadLines(const TCall& call);
TResult ReadTopLine(const TCall& call);
TResult ReadHint(const TCall& call);
TResult ReadFocus(const TCall& call);
TResult ReadWindows(const TCall& call);
TResult ReadForeground(const TCall& call);
TResult ReadWindowVisible(const TCall& call);
TResult ReadResponds(const TCall& call);
TResult ReadHandle(const TCall& call);
TResult ReadTrayExists(const TCall& call);
TResult ReadTrayExistsOf(const TCall& call);
TResult ReadProcessCounts(const TCall& call);
TResult ReadClipboard(const TCall& call);
TResult ReadMessageBox(const TCall& call);
TResult ReadDialogControls(const TCall& call);

}  // namespace velmora::uidriver
