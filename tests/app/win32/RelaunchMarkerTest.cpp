// The relaunch mark between real processes: a child finds the mark of the process that started
// it, tells it so, and finds none when its starter left none.
#include "app/win32/RelaunchMarker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/win32/Scoped.h"

namespace velmora::app {
namespace {

// Starts relaunch_probe.exe from beside this test program; returns its process handle.
HANDLE StartProbe() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path = path.substr(0, path.find_last_of(L'\\') + 1) + L"relaunch_probe.exe";
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return nullptr;
  const TScopedHandle thread(process.hThread);
  return process.hProcess;
}

// Closes the process.
DWORD ExitCodeOf(HANDLE process) {
  const TScopedHandle owned(process);
  EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(process, &code);
  return code;
}

TEST(RelaunchMarker, AChildWhoseStarterLeftNoMarkIsNoRelaunch) {
  const HANDLE probe = StartProbe();
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(ExitCodeOf(probe), 0u);
  EXPECT_FALSE(StartedByRelaunch());  // nor is this test program
}

TEST(RelaunchMarker, AChildFindsItsStartersMarkAndTellsItSo) {
  const TRelaunchMarker marker;
  ASSERT_NE(marker.Event(), nullptr);
  EXPECT_EQ(WaitForSingleObject(marker.Event(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  const HANDLE probe = StartProbe();
  ASSERT_NE(probe, nullptr);
  marker.WaitSeen(probe, 30000);
  EXPECT_EQ(WaitForSingleObject(marker.Event(), 0), WAIT_OBJECT_0) << "the child said it saw it";
  EXPECT_EQ(ExitCodeOf(probe), 1u);
}

}  // namespace
}  // namespace velmora::app
