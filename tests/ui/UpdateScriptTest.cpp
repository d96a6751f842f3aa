// The swap script's exact text for plain names, names with blanks, "%", Cyrillic letters and
// the interpreter's other special characters; the interpreter's command line; and the removal
// of the old copy that a swap leaves.
#include "ui/UpdateScript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// The script with {S} for the system folder, {N} for the file name as the script writes it,
// {P} for the process id and {C} for the code page.
constexpr wchar_t kTemplate[] =
    L"\"{S}\\chcp.com\" {C}>nul\r\n"
    L"set \"COMSPEC={S}\\cmd.exe\"\r\n"
    L"set /a tries=0\r\n"
    L":wait\r\n"
    L"\"{S}\\taskkill.exe\" /F /FI \"PID eq {P}\" /FI \"IMAGENAME eq {N}\" >nul 2>&1\r\n"
    L"\"{S}\\tasklist.exe\" /FO CSV /NH /FI \"PID eq {P}\" /FI \"IMAGENAME eq {N}\" | "
    L"\"{S}\\find.exe\" \"\"\"{P}\"\"\" >nul || ren \"%~dp0{N}\" \"{N}_old\"\r\n"
    L"if exist \"%~dp0{N}\" goto :pause\r\n"
    L"ren \"%~dp0{N}_updated\" \"{N}\"\r\n"
    L"if not exist \"%~dp0{N}\" ren \"%~dp0{N}_old\" \"{N}\"\r\n"
    L"goto :start\r\n"
    L":pause\r\n"
    L"set /a tries+=1\r\n"
    L"if %tries% geq 30 goto :giveup\r\n"
    L"\"{S}\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
    L"goto :wait\r\n"
    L":giveup\r\n"
    L"del /f /q \"%~dp0{N}_updated\"\r\n"
    L":start\r\n"
    L"start \"\" \"%~dp0{N}\"\r\n"
    L"del /q \"%~f0\"\r\n"
    L"exit\r\n";

std::wstring Expected(const std::wstring& system, const std::wstring& name, uint32_t pid,
                      unsigned codePage) {
  const std::pair<std::wstring, std::wstring> kFields[] = {{L"{S}", system},
                                                           {L"{N}", name},
                                                           {L"{P}", std::to_wstring(pid)},
                                                           {L"{C}", std::to_wstring(codePage)}};
  std::wstring text = kTemplate;
  for (const auto& [field, value] : kFields)
    for (size_t at = text.find(field); at != std::wstring::npos;
         at = text.find(field, at + value.size()))
      text.replace(at, field.size(), value);
  return text;
}

TEST(UpdateScriptText, NamesEverySystemProgramByFullPathAndTheProgramQuotedAndLiteral) {
  const std::wstring kSystem = L"C:\\Windows\\system32";
  const struct {
    const char* What;
    std::wstring Name, NameWritten;  // the latter as the interpreter must read it back
    uint32_t Pid;
    unsigned CodePage;
    std::wstring System, SystemWritten;
  } kCases[] = {
      {"plain", L"Ostrada.exe", L"Ostrada.exe", 4242, 866, kSystem, kSystem},
      {"blanks", L"Velmora Client.exe", L"Velmora Client.exe", 7, 866, kSystem, kSystem},
      {"percent", L"Ostrada 100%.exe", L"Ostrada 100%%.exe", 4242, 866, kSystem, kSystem},
      {"Cyrillic", L"Коннектор.exe", L"Коннектор.exe", 123456, 866, kSystem, kSystem},
      {"the interpreter's other special characters, literal in quotes", L"A&B (x) ^!;=,.exe",
       L"A&B (x) ^!;=,.exe", 8, 437, L"D:\\WINNT\\System32", L"D:\\WINNT\\System32"},
      {"system folder with a separator at its end", L"Ostrada.exe", L"Ostrada.exe", 4242, 866,
       kSystem + L"\\", kSystem},
      {"system folder with a percent", L"Ostrada.exe", L"Ostrada.exe", 1, 866,
       L"C:\\Win%dows\\system32", L"C:\\Win%%dows\\system32"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(UpdateScriptText(c.Name, c.Pid, c.CodePage, c.System),
              Expected(c.SystemWritten, c.NameWritten, c.Pid, c.CodePage));
  }
}

TEST(UpdateScriptCommandLine, TheSystemInterpreterWithoutTheUsersSettingsAndTheScriptQuoted) {
  // The interpreter drops the outer pair of quotes after /c, so the path keeps its own pair
  // even with blanks, parentheses and "&" in the folder.
  const struct {
    std::wstring System, Script, Expected;
  } kCases[] = {
      {L"C:\\Windows\\system32", L"C:\\Program Files (x86)\\Velmora & Co\\update.bat",
       L"\"C:\\Windows\\system32\\cmd.exe\" /d /e:on /v:off /c "
       L"\"\"C:\\Program Files (x86)\\Velmora & Co\\update.bat\"\""},
      {L"C:\\Windows\\system32\\", L"D:\\V\\update.bat",
       L"\"C:\\Windows\\system32\\cmd.exe\" /d /e:on /v:off /c \"\"D:\\V\\update.bat\"\""},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(UpdateScriptCommandLine(c.System, c.Script), c.Expected);
}

TEST(IsSafeScriptPath, RefusesAPathWhereTwoPercentsCouldNameAVariable) {
  const struct {
    std::wstring Path;
    bool Safe;
  } kCases[] = {
      {L"C:\\Program Files\\Velmora Connector\\update.bat", true},
      {L"C:\\Velmora 100%\\update.bat", true},
      {L"C:\\50% off\\100%\\update.bat", false},
      {L"C:\\%TEMP%\\update.bat", false},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(IsSafeScriptPath(c.Path), c.Safe) << fs::path(c.Path).string();
}

TEST(RemoveLeftoverOldProgram, DeletesOnlyTheOldCopyBesideTheProgram) {
  const fs::path dir =
      fs::temp_directory_path() / ("velmora-leftover-" + std::to_string(std::random_device()()));
  fs::create_directories(dir);
  for (const char* name : {"Ostrada.exe", "Ostrada.exe_old", "Ostrada.exe_updated", "Other_old"})
    std::ofstream(dir / name) << name;
  RemoveLeftoverOldProgram((dir / "Ostrada.exe").wstring());
  EXPECT_FALSE(fs::exists(dir / "Ostrada.exe_old"));
  for (const char* name : {"Ostrada.exe", "Ostrada.exe_updated", "Other_old"})
    EXPECT_TRUE(fs::exists(dir / name)) << name;
  // Nothing left to delete: nothing happens.
  RemoveLeftoverOldProgram((dir / "Ostrada.exe").wstring());
  EXPECT_TRUE(fs::exists(dir / "Ostrada.exe"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace velmora
