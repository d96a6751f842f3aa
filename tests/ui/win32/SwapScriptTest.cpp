// The swap script run for real by the system's interpreter (Wine's cmd.exe in the test trees):
// a program whose name holds Cyrillic letters, "%", blanks and parentheses swapped in a folder
// with blanks, "&" and parentheses once it has ended; and, while something holds the program's
// file, the bounded wait giving up with the old program in place and nobody else's process
// ended. swap_stand_in.exe, beside this test, plays the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "base/win32/Scoped.h"
#include "base/win32/SystemCodePage.h"
#include "engine/SystemFolders.h"
#include "ui/UpdateScript.h"
#include "ui/win32/UpdateInterpreter.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Generous bounds for Wine on a loaded machine; reaching one is a failure, never a retry.
constexpr DWORD kScriptDeadlineMs = 600000;
constexpr DWORD kPollMs = 200;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

fs::path StandIn() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path() / L"swap_stand_in.exe";
}

bool WaitFor(const auto& condition) {
  for (DWORD waited = 0; waited < kScriptDeadlineMs; waited += kPollMs) {
    if (condition())
      return true;
    Sleep(kPollMs);
  }
  return condition();
}

struct TSwapFixture : ::testing::Test {
  void SetUp() override {
    dir = fs::temp_directory_path() /
          (L"velmora swap & co (x) " + std::to_wstring(std::random_device()()));
    fs::create_directories(dir);
    exe = dir / name;
    fs::copy_file(StandIn(), exe);
    oldBytes = Read(exe);
    newBytes = oldBytes + "the next build";
    std::ofstream(dir / (name + kUpdatedSuffix), std::ios::binary) << newBytes;
  }
  void TearDown() override {
    if (program.hProcess) {
      TerminateProcess(program.hProcess, 0);
      WaitForSingleObject(program.hProcess, INFINITE);
      CloseHandle(program.hProcess);
      CloseHandle(program.hThread);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  // The program, holding its own file for holdMs as the running program does.
  void StartProgram(DWORD holdMs) {
    std::wstring line = L"\"" + exe.wstring() + L"\" hold " + std::to_wstring(holdMs);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               dir.c_str(), &startup, &program));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir / (name + L".holding")); }));
  }

  // Writes the script as the program does and runs it to its end.
  void RunScript(uint32_t processId, int waitRounds) {
    const std::wstring system = SystemFolder();
    std::optional<std::string> text = ToCodePageExactly(
        CP_OEMCP, UpdateScriptText(name, processId, GetOEMCP(), system, waitRounds));
    ASSERT_TRUE(text);
    const fs::path script = dir / kUpdateScriptName;
    std::ofstream(script, std::ios::binary) << *text;
    ASSERT_EQ(StartUpdateScript(system, script.wstring()), 0u);
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(script); })) << "the script did not end";
  }

  // The size written by the program that the script started.
  std::string Started() {
    const fs::path ran = dir / (name + L".ran");
    EXPECT_TRUE(WaitFor([&] { return !Read(ran).empty(); })) << "no program started";
    return Read(ran);
  }

  const std::wstring name = L"Коннектор 100% (b).exe";
  fs::path dir, exe;
  std::string oldBytes, newBytes;
  PROCESS_INFORMATION program{};
};

TEST_F(TSwapFixture, TheNewProgramTakesTheNameOnceTheOldOneHasEnded) {
  StartProgram(3000);
  RunScript(program.dwProcessId, kSwapWaitRounds);
  EXPECT_EQ(Read(exe), newBytes);
  EXPECT_EQ(Read(dir / (name + kOldSuffix)), oldBytes);  // for the new program to delete
  EXPECT_FALSE(fs::exists(dir / (name + kUpdatedSuffix)));
  EXPECT_EQ(Started(), std::to_string(newBytes.size()));
}

TEST_F(TSwapFixture, WhileTheProgramsFileIsHeldTheWaitEndsAndTheOldProgramStays) {
  // The script names this test's own id: its image name is not the program's, so it is
  // neither ended nor waited for, as a process that took over the program's id would not be.
  StartProgram(INFINITE);
  RunScript(GetCurrentProcessId(), 2);
  EXPECT_EQ(Read(exe), oldBytes);
  EXPECT_FALSE(fs::exists(dir / (name + kOldSuffix)));
  EXPECT_FALSE(fs::exists(dir / (name + kUpdatedSuffix)));
  EXPECT_EQ(Started(), std::to_string(oldBytes.size()));
}

}  // namespace
}  // namespace velmora
