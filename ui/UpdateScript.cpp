// The swap script, line by line. File names are quoted so names with blanks work; the
// interpreter changes to the script's own folder, the program's.
#include "ui/UpdateScript.h"

namespace velmora {

std::wstring UpdateScriptText(std::wstring_view exeName, uint32_t processId, unsigned oemCodePage) {
  const std::wstring n(exeName);
  const std::wstring q = L"\"" + n + L"\"";
  const std::wstring old = L"\"" + n + kOldSuffix + L"\"";
  const std::wstring updated = L"\"" + n + kUpdatedSuffix + L"\"";
  const std::wstring lines[] = {
      L"chcp " + std::to_wstring(oemCodePage) + L">nul",
      L"cd /d \"%~dp0\"",
      L"set IDs=" + std::to_wstring(processId),
      L"set IDs=\"%IDs:,=\" \"%\"",
      L":begin",
      L"for %%A in (%IDs%) do (",
      L"  taskkill /F /PID %%~A",
      L"  tasklist /FI \"PID eq %%~A\"|Find \"%%~A\"||Goto :ext",
      L")",
      L"ping 127.0.0.1 -n 1 -w 1000 ",
      L"Goto :begin",
      L":ext",
      L"ren " + q + L" " + old,
      L"ren " + updated + L" " + q,
      // The new file could not take the name (a scanner holding it): the old program goes
      // back before the loop below could delete the only copy.
      L"if not exist " + q + L" ren " + old + L" " + q,
      L":retry",
      L"if exist " + old + L" (",
      L"del /F /Q " + old,
      L"goto :retry)",
      L"start \"\" " + q,
      L"del %~s0 /q",
      L"exit",
  };
  std::wstring text;
  for (const std::wstring& line : lines)
    text += line + L"\r\n";
  return text;
}

}  // namespace velmora
