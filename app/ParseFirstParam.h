// Splits a Windows command line into the program path and the rest, the way the elevated
// relaunch needs it: file part, directory part and the untouched tail.
#pragma once

#include <string>

namespace velmora::app {

// Reads the first argument of a zero-terminated command line into firstParam (quotes
// dropped, blanks inside quotes kept) and returns the position of the character that ended
// it, so the rest keeps its leading blank.
const wchar_t* ParseFirstParam(const wchar_t* commandLine, std::wstring& firstParam);

struct TProgramPath {
  std::wstring FileName;   // after the last '\' or ':'; the whole path when it has neither
  std::wstring Directory;  // up to and including that character; empty when there is none
};

TProgramPath SplitProgramPath(const std::wstring& path);

// What a relaunch of the running program passes to the shell.
struct TRelaunchCommand {
  std::wstring File;
  std::wstring Parameters;  // exactly the tail after the first argument, leading blanks kept
  std::wstring Directory;
};

TRelaunchCommand MakeRelaunchCommand(const wchar_t* commandLine);

}  // namespace velmora::app
