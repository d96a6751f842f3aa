// Version records of real executables: the four parts, their plain sum, and the error for a
// file without a record.
#include "engine/ExeVersion.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

namespace velmora {
namespace {

// The directory of this test program, where the stamped programs are built.
std::wstring OwnDirectory() {
  wchar_t path[MAX_PATH * 4] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring own(path, length);
  return own.substr(0, own.find_last_of(L"\\/") + 1);
}

void ExpectParts(const TExeVersion& v, int major, int minor, int release, int build,
                 int64_t number) {
  EXPECT_EQ(v.Major, major);
  EXPECT_EQ(v.Minor, minor);
  EXPECT_EQ(v.Release, release);
  EXPECT_EQ(v.Build, build);
  EXPECT_EQ(v.Number, number);
}

TEST(MakeExeVersion, SplitsTheWordsAndSumsThePlainParts) {
  const struct {
    uint32_t MS, LS;
    int Major, Minor, Release, Build;
    int64_t Number;
  } kCases[] = {
      {0x00010000, 0x00000005, 1, 0, 0, 5, 6},
      {0x00020003, 0x00040005, 2, 3, 4, 5, 14},
      {0x00000000, 0x00000000, 0, 0, 0, 0, 0},
      {0xFFFFFFFF, 0xFFFFFFFF, 65535, 65535, 65535, 65535, 262140},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Number);
    ExpectParts(MakeExeVersion(c.MS, c.LS), c.Major, c.Minor, c.Release, c.Build, c.Number);
  }
}

TEST(GetExeVersion, ReadsTheStampedVersionOfAnExecutable) {
  const struct {
    const wchar_t* File;
    int Major, Minor, Release, Build;
    int64_t Number;
  } kCases[] = {
      {L"version_tests.exe", 1, 0, 0, 5, 6},
      {L"version_stamped_2_3_4_5.exe", 2, 3, 4, 5, 14},
      {L"version_stamped_max.exe", 65535, 65535, 65535, 65535, 262140},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Number);
    ExpectParts(GetExeVersion(OwnDirectory() + c.File), c.Major, c.Minor, c.Release, c.Build,
                c.Number);
  }
}

TEST(GetExeVersion, FileWithoutAVersionRecordRaisesTheError) {
  const std::wstring text = OwnDirectory() + L"version_not_a_program.txt";
  std::ofstream(text.c_str()) << "not a program";
  const std::wstring kPaths[] = {OwnDirectory() + L"version_unstamped.exe", text,
                                 OwnDirectory() + L"version_missing.exe"};
  for (const std::wstring& path : kPaths) {
    try {
      GetExeVersion(path);
      ADD_FAILURE() << "no error for a file without a version record";
    } catch (const EExeVersionError& error) {
      EXPECT_EQ(error.Message(), L"Can't get file version information for " + path);
      const std::string utf8(path.begin(), path.end());  // the paths here are ASCII
      EXPECT_EQ(std::string(error.what()), "Can't get file version information for " + utf8);
    }
  }
  DeleteFileW(text.c_str());
}

TEST(ExeVersion, IsTheProgramsOwnVersionOnceLoaded) {
  ExpectParts(ExeVersion(), 0, 0, 0, 0, 0);
  LoadExeVersion();
  ExpectParts(ExeVersion(), 1, 0, 0, 5, 6);
}

}  // namespace
}  // namespace velmora
