// Starts the swap script: the system's command interpreter by full path, hidden, in the
// script's folder, so that nothing of the user's (file associations, AutoRun, delayed
// expansion, the search path) decides what the elevated swap runs.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// 0 once the interpreter runs the script at scriptPath; otherwise the system's error.
DWORD StartUpdateScript(const std::wstring& systemFolder, const std::wstring& scriptPath);

}  // namespace velmora
