// The swap script's exact text for plain names, names with blanks and other names.
#include "ui/UpdateScript.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::wstring Expected(const std::wstring& n, const std::wstring& pid, const std::wstring& cp) {
  return L"chcp " + cp + L">nul\r\n"
         L"cd /d \"%~dp0\"\r\n"
         L"set IDs=" + pid + L"\r\n"
         L"set IDs=\"%IDs:,=\" \"%\"\r\n"
         L":begin\r\n"
         L"for %%A in (%IDs%) do (\r\n"
         L"  taskkill /F /PID %%~A\r\n"
         L"  tasklist /FI \"PID eq %%~A\"|Find \"%%~A\"||Goto :ext\r\n"
         L")\r\n"
         L"ping 127.0.0.1 -n 1 -w 1000 \r\n"
         L"Goto :begin\r\n"
         L":ext\r\n"
         L"ren \"" + n + L"\" \"" + n + L"_old\"\r\n"
         L"ren \"" + n + L"_updated\" \"" + n + L"\"\r\n"
         L"if not exist \"" + n + L"\" ren \"" + n + L"_old\" \"" + n + L"\"\r\n"
         L":retry\r\n"
         L"if exist \"" + n + L"_old\" (\r\n"
         L"del /F /Q \"" + n + L"_old\"\r\n"
         L"goto :retry)\r\n"
         L"start \"\" \"" + n + L"\"\r\n"
         L"del %~s0 /q\r\n"
         L"exit\r\n";
}

TEST(UpdateScriptText, TwentyTwoLinesNamingTheProgramsOwnFilesQuoted) {
  const struct {
    std::wstring Name;
    uint32_t Pid;
    unsigned CodePage;
  } kCases[] = {
      {L"Ostrada.exe", 4242, 866},
      {L"Velmora Client.exe", 7, 866},
      {L"Коннектор.exe", 123456, 866},
      {L"ostrada-2.exe", 4242, 437},
  };
  for (const auto& c : kCases) {
    std::wstring text = UpdateScriptText(c.Name, c.Pid, c.CodePage);
    EXPECT_EQ(text, Expected(c.Name, std::to_wstring(c.Pid), std::to_wstring(c.CodePage)));
    size_t lines = 0;
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2))
      ++lines;
    EXPECT_EQ(lines, 22u);
  }
}

}  // namespace
}  // namespace velmora
