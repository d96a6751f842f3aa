// The UI driver's finding: the program's main window and its controls by their IDC_ names, the
// program's message box and tooltips, another program's dialog by its title, and the one way
// the driver sends them messages.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora::uidriver {

// How long a window may take to answer a message the driver sends.
constexpr UINT kSendTimeoutMs = 5000;

// A sent message that gives up on a hung window; the answer is then 0.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A control's ID from its name (bConnect, the IDC_ prefix optional) or a decimal number.
std::optional<int> ParseId(const std::wstring& text);
// The name of a control's ID, or the number for an ID without one.
std::wstring IdName(int id);

// The windows of the program's class and title, shown or not; the first of them, or null.
std::vector<HWND> MainWindows();
HWND MainWindow();
// The window's control of an ID at any depth (controls sit on page windows), or null.
HWND FindControl(HWND main, int id);
// The message box of the window's process (a dialog with the program's title), or null.
HWND FindMessageBox(HWND main);
// The tooltip windows of the window's process.
std::vector<HWND> ProcessTooltips(HWND main);
// The shown top-level dialog of any program whose title contains titlePart, or null.
HWND FindDialog(const std::wstring& titlePart);
// The window's child windows at any depth, in the system's order.
std::vector<HWND> ChildWindows(HWND parent);

}  // namespace velmora::uidriver
