// The swap script's exact text for plain names, names with blanks and other names.
#include "ui/UpdateScript.h"

#include <gtest/gtest.h>

#include <utility>

namespace velmora {
namespace {

// The script with {N} for the file name, {P} for the process id and {C} for the code page.
constexpr wchar_t kTemplate[] =
    L"chcp {C}>nul\r\n"
    L"cd /d \"%~dp0\"\r\n"
    L"set IDs={P}\r\n"
    L"set IDs=\"%IDs:,=\" \"%\"\r\n"
    L":begin\r\n"
    L"for %%A in (%IDs%) do (\r\n"
    L"  taskkill /F /PID %%~A\r\n"
    L"  tasklist /FI \"PID eq %%~A\"|Find \"%%~A\"||Goto :ext\r\n"
    L")\r\n"
    L"ping 127.0.0.1 -n 1 -w 1000 \r\n"
    L"Goto :begin\r\n"
    L":ext\r\n"
    L"ren \"{N}\" \"{N}_old\"\r\n"
    L"ren \"{N}_updated\" \"{N}\"\r\n"
    L"if not exist \"{N}\" ren \"{N}_old\" \"{N}\"\r\n"
    L":retry\r\n"
    L"if exist \"{N}_old\" (\r\n"
    L"del /F /Q \"{N}_old\"\r\n"
    L"goto :retry)\r\n"
    L"start \"\" \"{N}\"\r\n"
    L"del %~s0 /q\r\n"
    L"exit\r\n";

std::wstring Expected(const std::wstring& name, uint32_t pid, unsigned codePage) {
  const std::pair<std::wstring, std::wstring> kFields[] = {
      {L"{N}", name}, {L"{P}", std::to_wstring(pid)}, {L"{C}", std::to_wstring(codePage)}};
  std::wstring text = kTemplate;
  for (const auto& [field, value] : kFields)
    for (size_t at = text.find(field); at != std::wstring::npos;
         at = text.find(field, at + value.size()))
      text.replace(at, field.size(), value);
  return text;
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
    EXPECT_EQ(text, Expected(c.Name, c.Pid, c.CodePage));
    size_t lines = 0;
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2))
      ++lines;
    EXPECT_EQ(lines, 22u);
  }
}

}  // namespace
}  // namespace velmora
