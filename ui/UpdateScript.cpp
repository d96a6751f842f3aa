// The swap script, line by line. The interpreter runs elevated, so nothing in it is found by
// search: system programs by the full path the program writes in, the program's files by the
// script's own folder. Names always stand in quotes, where only "%" still means something to
// the interpreter; it is doubled.
#include "ui/UpdateScript.h"

#include <algorithm>

#include "engine/FileReplace.h"

namespace velmora {
namespace {

// Text that the interpreter reads back literally inside quotes of a script.
std::wstring Literal(std::wstring_view text) {
  std::wstring out;
  for (wchar_t c : text) {
    out += c;
    if (c == L'%')
      out += L'%';
  }
  return out;
}

std::wstring WithoutTrailingSeparator(std::wstring_view folder) {
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
    folder.remove_suffix(1);
  return std::wstring(folder);
}

}  // namespace

std::wstring UpdateScriptText(std::wstring_view exeName, uint32_t processId, unsigned oemCodePage,
                              std::wstring_view systemFolder, int waitRounds) {
  const std::wstring system = Literal(WithoutTrailingSeparator(systemFolder)) + L"\\";
  const auto tool = [&](const wchar_t* name) { return L"\"" + system + name + L"\""; };
  const std::wstring n = Literal(exeName);
  const std::wstring pid = std::to_wstring(processId);
  // The process is matched by id and image name together: an id that another program took
  // over after ours ended is neither ended nor waited for.
  const std::wstring filter = L"/FI \"PID eq " + pid + L"\" /FI \"IMAGENAME eq " + n + L"\"";
  const std::wstring here = L"\"%~dp0" + n;  // the program's files, by the script's folder
  // Labels and a counter rather than a loop of "for": Wine's interpreter runs a loop to its end
  // after a "goto" inside it, and takes a failed "ren" for a success, so the rename is judged
  // by the file being gone.
  const std::wstring lines[] = {
      tool(L"chcp.com") + L" " + std::to_wstring(oemCodePage) + L">nul",
      // A pipe may run its sides through %COMSPEC%, which the user's environment would name.
      L"set \"COMSPEC=" + system + L"cmd.exe\"",
      L"set /a tries=0",
      L":wait",
      tool(L"taskkill.exe") + L" /F " + filter + L" >nul 2>&1",
      // Gone from the list, the program is renamed away; the rename also fails for as long as
      // the program's process lives, since it holds its own file without delete sharing.
      tool(L"tasklist.exe") + L" /FO CSV /NH " + filter + L" | " + tool(L"find.exe") + L" \"\"\"" +
          pid + L"\"\"\" >nul || ren " + here + L"\" \"" + n + kOldSuffix + L"\"",
      L"if exist " + here + L"\" goto :pause",
      // The new program takes the name at once, so the name is missing only between two lines.
      L"ren " + here + kUpdatedSuffix + L"\" \"" + n + L"\"",
      // The new file could not take the name: the old program goes back, so a program named N
      // is there for the next start.
      L"if not exist " + here + L"\" ren " + here + kOldSuffix + L"\" \"" + n + L"\"",
      L"goto :start",
      L":pause",
      L"set /a tries+=1",
      L"if %tries% geq " + std::to_wstring(waitRounds) + L" goto :giveup",
      tool(L"ping.exe") + L" -n 2 127.0.0.1 >nul",
      L"goto :wait",
      // Still running, or its file still held: the old program stays, the download goes.
      L":giveup",
      L"del /f /q " + here + kUpdatedSuffix + L"\"",
      L":start",
      L"start \"\" " + here + L"\"",
      L"del /q \"%~f0\"",
      L"exit",
  };
  std::wstring text;
  for (const std::wstring& line : lines)
    text += line + L"\r\n";
  return text;
}

std::wstring UpdateInterpreterPath(std::wstring_view systemFolder) {
  return WithoutTrailingSeparator(systemFolder) + L"\\cmd.exe";
}

std::wstring UpdateScriptCommandLine(std::wstring_view systemFolder, std::wstring_view scriptPath) {
  // After /c the interpreter drops the first and the last quote of the rest, so the path keeps
  // a pair of its own: blanks, "&" and parentheses in the folder stay part of it.
  return L"\"" + UpdateInterpreterPath(systemFolder) + L"\" /d /e:on /v:off /c \"\"" +
         std::wstring(scriptPath) + L"\"\"";
}

bool IsSafeScriptPath(std::wstring_view scriptPath) {
  return std::count(scriptPath.begin(), scriptPath.end(), L'%') < 2;
}

void RemoveLeftoverOldProgram(const std::wstring& exePath) {
  RemoveFile(exePath + kOldSuffix);
}

}  // namespace velmora
