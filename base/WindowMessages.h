// Every window message the program makes up, and the names of the registered ones it uses, in
// one place: a new private message takes a number here, next to the ones it must not meet.
#pragma once

#include <cstdint>

namespace velmora {

// WM_APP of the system headers (this header is portable; the window code checks the value).
// From it up to 0xBFFF the numbers belong to the program alone: no system class and no common
// control uses them, so they are safe for messages between the program's own windows.
inline constexpr uint32_t kAppMessageBase = 0x8000;

// The connector's notification to the main window; wParam the code (TConnectorNotification),
// lParam 0. It keeps the number the connector has always posted: 0x0FFF lies in the range of
// a window class's own messages (WM_USER to 0x7FFF), and the main window's class is ours.
inline constexpr uint32_t WM_CONNECTOR = 0x0FFF;

// The main window's own messages, the first numbers of the program's range.
// The tray icon's callback (Shell_NotifyIcon posts it; lParam the mouse message).
inline constexpr uint32_t kTrayCallbackMessage = kAppMessageBase + 1;
// The update task has ended: wParam 1 when the swap script runs and the program must close,
// 0 when the update was refused; lParam a new std::wstring with the reason, which the window
// deletes.
inline constexpr uint32_t kUpdateDoneMessage = kAppMessageBase + 2;

// The help page's panel group, ten numbers further: a message that reached the wrong one of
// the program's windows would do nothing there.
// To the group: wParam the DPI it is laid out for (sent at creation and after a DPI change).
inline constexpr uint32_t kHelpGroupSetDpi = kAppMessageBase + 10;
// From a panel to its group (wParam: the panel's index).
inline constexpr uint32_t kPanelToggle = kAppMessageBase + 20;
inline constexpr uint32_t kPanelOpen = kAppMessageBase + 21;
inline constexpr uint32_t kPanelClose = kAppMessageBase + 22;
inline constexpr uint32_t kPanelFocusStep = kAppMessageBase + 23;  // lParam: -1 above, +1 below

// Registered messages (RegisterWindowMessageW): the same number in every process that
// registers the name.
// A second start broadcasts it: the running window shows itself unless wParam is its handle.
inline constexpr wchar_t kShowFormMessageName[] = L"brannock_show_form_msg";
// Explorer's announcement that the taskbar is (again) there: the tray icon is added anew.
inline constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";

}  // namespace velmora
