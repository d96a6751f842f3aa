// The swap script's start: CreateProcessW on the system's cmd.exe with the script's command line.
#include "ui/win32/UpdateInterpreter.h"

#include "base/win32/Scoped.h"
#include "ui/UpdateScript.h"

namespace velmora {

DWORD StartUpdateScript(const std::wstring& systemFolder, const std::wstring& scriptPath) {
  const std::wstring interpreter = UpdateInterpreterPath(systemFolder);
  std::wstring commandLine = UpdateScriptCommandLine(systemFolder, scriptPath);
  const std::wstring folder = scriptPath.substr(0, scriptPath.find_last_of(L"\\/") + 1);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  // No handle is inherited: the interpreter must not keep the program's own file open.
  if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &process))
    return GetLastError();
  TScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
  return 0;
}

}  // namespace velmora
