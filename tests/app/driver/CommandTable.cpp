// The UI driver's command table and the run of one command (CommandTable.h).
#include "tests/app/driver/CommandTable.h"

#include <optional>

#include "engine/AppTitle.h"
#include "tests/app/driver/Act.h"
#include "tests/app/driver/Capture.h"
#include "tests/app/driver/Find.h"
#include "tests/app/driver/Read.h"

namespace velmora::uidriver {

namespace {

// What the table finds before the handler runs: nothing, the program's window, or also the
// control named by the first argument.
enum class TTarget { Nothing, Window, Control };

struct TCommand {
  const wchar_t* Name;
  const wchar_t* Arguments;  // for the usage: CONTROL, [optional], a|b
  size_t MinArguments;       // after the name
  TTarget Target;
  THandler Run;
};

using enum TTarget;

// Rows of one name are tried in order: the first one whose minimum the arguments meet runs.
const TCommand kCommands[] = {
    // The program's windows and its process.
    {L"windows", L"", 0, Nothing, ReadWindows},
    {L"window-visible", L"", 0, Window, ReadWindowVisible},
    {L"foreground", L"", 0, Window, ReadForeground},
    {L"responds", L"", 0, Window, ReadResponds},
    {L"handle", L"", 0, Window, ReadHandle},
    {L"focus", L"", 0, Window, ReadFocus},
    {L"process-counts", L"", 0, Window, ReadProcessCounts},
    {L"hide", L"", 0, Window, ActHide},
    {L"close", L"", 0, Window, ActClose},
    {L"show-request", L"[self]", 0, Window, ActShowRequest},
    {L"message-box", L"[close]", 0, Window, ReadMessageBox},
    {L"screenshot", L"FILE.bmp [CONTROL]", 1, Window, CaptureScreenshot},
    // What the system and the shell send it.
    {L"query-end-session", L"", 0, Window, ActQueryEndSession},
    {L"end-session", L"0|1", 0, Window, ActEndSession},
    {L"resume", L"", 0, Window, ActResume},
    {L"taskbar-created", L"", 0, Window, ActTaskbarCreated},
    {L"tray-exists", L"HANDLE", 1, Nothing, ReadTrayExistsOf},
    {L"tray-exists", L"", 0, Window, ReadTrayExists},
    {L"tray-remove", L"", 0, Window, ActTrayRemove},
    // Its controls.
    {L"text", L"CONTROL", 1, Control, ReadText},
    {L"enabled", L"CONTROL", 1, Control, ReadEnabled},
    {L"visible", L"CONTROL", 1, Control, ReadVisible},
    {L"combo", L"CONTROL", 1, Control, ReadCombo},
    {L"checked", L"CONTROL", 1, Control, ReadChecked},
    {L"lines", L"CONTROL", 1, Control, ReadLines},
    {L"top-line", L"CONTROL", 1, Control, ReadTopLine},
    {L"hint", L"CONTROL", 1, Control, ReadHint},
    {L"image", L"CONTROL", 1, Control, CaptureImage},
    {L"settext", L"CONTROL TEXT", 1, Control, ActSetText},
    {L"click", L"CONTROL", 1, Control, ActClick},
    {L"click-at", L"CONTROL X Y", 1, Control, ActClickAt},
    {L"key", L"CONTROL VK", 1, Control, ActKey},
    {L"wheel", L"CONTROL NOTCHES", 1, Control, ActWheel},
    {L"choose", L"LIST INDEX", 1, Control, ActChoose},
    {L"select", L"pc INDEX", 1, Control, ActSelect},
    // The clipboard and other programs' dialogs.
    {L"clipboard-text", L"", 0, Nothing, ReadClipboard},
    {L"clipboard-hold", L"MS TEXT", 0, Nothing, ActHoldClipboard},
    {L"dialog-controls", L"TITLE", 1, Nothing, ReadDialogControls},
    {L"dialog-click", L"TITLE BUTTON", 2, Nothing, ActDialogClick},
};

std::wstring UsageLine(const TCommand& command) {
  return std::wstring(command.Name) + (*command.Arguments != 0 ? L" " : L"") + command.Arguments;
}

}  // namespace

TResult RunCommand(const std::vector<std::wstring>& args, const TSay& say) {
  const TCommand* command = nullptr;
  const TCommand* named = nullptr;
  for (const TCommand& row : kCommands) {
    if (args[0] == row.Name) {
      named = &row;
      if (args.size() - 1 >= row.MinArguments) {
        command = &row;
        break;
      }
    }
  }
  if (named == nullptr) {
    return Error(L"unknown command " + args[0]);
  }
  if (command == nullptr) {
    return Error(L"usage: " + UsageLine(*named));
  }
  TCall call{args, nullptr, nullptr, 0, say};
  if (command->Target != Nothing) {
    call.Main = MainWindow();
    if (call.Main == nullptr) {
      return Error(std::wstring(L"no window titled ") + kApplicationTitle);
    }
  }
  if (command->Target == Control) {
    const std::optional<int> id = ParseId(args[1]);
    if (!id) {
      return Error(L"unknown control " + args[1]);
    }
    call.ControlId = *id;
    call.Control = FindControl(call.Main, *id);
    if (call.Control == nullptr) {
      return Error(L"control not found: " + args[1]);
    }
  }
  return command->Run(call);
}

std::wstring Usage() {
  std::wstring text =
      L"usage: uidriver [--expect TEXT] [--timeout MS] COMMAND [ARGS]   one command\n"
      L"       uidriver --serve   command lines on stdin, one reply line each on stdout\n"
      L"CONTROL: a name such as bConnect (IDC_ prefix optional) or a number.\n"
      L"With --expect the command is repeated until it reads TEXT (exit 0) or the time runs\n"
      L"out (exit 1, last reading printed); default 10000 ms. --timeout alone repeats a\n"
      L"command that fails. Commands:\n";
  for (const TCommand& command : kCommands) {
    text += L"  " + UsageLine(command) + L"\n";
  }
  return text;
}

}  // namespace velmora::uidriver
