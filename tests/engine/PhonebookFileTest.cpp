// WriteRasphoneEntry on real files in a temporary directory: what ends up on disk, and that a
// failure keeps the old phonebook and tells the user once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/AppTitle.h"
#include "engine/Phonebook.h"

#ifdef _WIN32
#include <windows.h>

#include "base/win32/Scoped.h"
#endif

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The names in a directory, sorted, to see that no temporary file stays behind.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class PhonebookFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    FDir = fs::temp_directory_path() / ("velmora-pbk-" + std::to_string(random()));
    fs::create_directories(FDir);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(FDir, ignored);
  }

  // Writes the entry and counts the failure messages, checking their text and caption.
  bool Write(const fs::path& path) { return Write(path.wstring()); }
  bool Write(const std::wstring& path) {
    return WriteRasphoneEntry(path, [this](const std::wstring& text, const std::wstring& caption) {
      EXPECT_EQ(text, kPhonebookWriteFailedText);
      EXPECT_EQ(caption, kApplicationTitle);
      ++FMessages;
    });
  }

  fs::path FDir;
  int FMessages = 0;
};

const std::string kTemplate = RasphoneTemplateText();
const std::string kOthersBefore = "[Home VPN]\r\nType=2\r\nPhoneNumber=vpn.example\r\n\r\n";
const std::string kOthersAfter = "[Office]\r\nType=3\r\nDevice=modem\r\n";

TEST_F(PhonebookFile, WritesTheEntryAndKeepsOtherEntries) {
  const struct {
    const char* Name;
    std::optional<std::string> Old;  // nothing: no file yet
    std::string Expected;
  } kCases[] = {
      {"no file", std::nullopt, kTemplate},
      {"empty file", "", kTemplate},
      {"other entries before and after the entry",
       kOthersBefore + "[Tarvolix]\r\nType=5\r\n\r\n" + kOthersAfter,
       kOthersBefore + kTemplate + "\r\n" + kOthersAfter},
      {"other entries only", kOthersBefore, kOthersBefore + kTemplate},
      {"edited entry", "[Tarvolix]\r\nType=1\r\nRedialAttempts=9\r\n", kTemplate},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    const fs::path dir = FDir / c.Name;
    fs::create_directories(dir);
    const fs::path phonebook = dir / "rasphone.pbk";
    if (c.Old)
      WriteBytes(phonebook, *c.Old);

    EXPECT_TRUE(Write(phonebook));
    EXPECT_EQ(ReadBytes(phonebook), c.Expected);
    EXPECT_EQ(Names(dir), std::vector<std::string>{"rasphone.pbk"});
  }
  EXPECT_EQ(FMessages, 0);
}

TEST_F(PhonebookFile, CreatesMissingDirectories) {
#ifdef _WIN32
  // As the window forms the path from ALLUSERSPROFILE: five directories are missing.
  const fs::path phonebook = FormRasPhonebookPath(FDir.wstring());
#else
  const fs::path phonebook =
      FDir / "Microsoft" / "Network" / "Connections" / "Pbk" / "rasphone.pbk";
#endif
  EXPECT_TRUE(Write(phonebook));
  EXPECT_EQ(ReadBytes(phonebook), kTemplate);
  EXPECT_EQ(FMessages, 0);
}

TEST_F(PhonebookFile, TwoWritesGiveTheSameBytes) {
  const fs::path phonebook = FDir / "rasphone.pbk";
  WriteBytes(phonebook, kOthersBefore + kOthersAfter);
  ASSERT_TRUE(Write(phonebook));
  const std::string first = ReadBytes(phonebook);
  ASSERT_TRUE(Write(phonebook));
  EXPECT_EQ(ReadBytes(phonebook), first);
  EXPECT_EQ(first, kOthersBefore + kOthersAfter + "\r\n" + kTemplate);
}

TEST_F(PhonebookFile, FailureShowsTheMessageOnceAndWritesNothing) {
  const fs::path regularFile = FDir / "not-a-directory";
  WriteBytes(regularFile, "keep me");
  const fs::path directory = FDir / "rasphone.pbk";
  fs::create_directories(directory);
  const std::wstring noDirectoryPart =
      L"velmora-no-directory-" + std::to_wstring(std::random_device()()) + L".pbk";

  const struct {
    const char* Name;
    std::wstring Path;
  } kCases[] = {
      {"path without a directory part", noDirectoryPart},
      // Neither the directory nor the file can be made under a regular file (even by root).
      {"path under a regular file", (regularFile / "Pbk" / "rasphone.pbk").wstring()},
      {"path naming a directory", directory.wstring()},
      {"path without a file name", (FDir / "Pbk").wstring() + L"/"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    FMessages = 0;
    EXPECT_FALSE(Write(c.Path));
    EXPECT_EQ(FMessages, 1);
  }
  EXPECT_FALSE(fs::exists(noDirectoryPart));
  EXPECT_EQ(ReadBytes(regularFile), "keep me");
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_TRUE(fs::is_empty(directory));
  EXPECT_EQ(Names(FDir), (std::vector<std::string>{"not-a-directory", "rasphone.pbk"}));
}

#ifdef _WIN32
// Another program holding the phonebook open, or a read-only phonebook: the write fails, the
// old bytes stay and the temporary file is gone.
TEST_F(PhonebookFile, HeldOrReadOnlyPhonebookIsKeptAndReported) {
  const struct {
    const char* Name;
    DWORD HolderShare;  // sharing of a handle held during the write
    bool ReadOnly;
  } kCases[] = {
      {"held open without sharing", 0, false},
      {"held open for reading, no delete sharing", FILE_SHARE_READ, false},
      {"read-only file", 0xFFFFFFFF, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    const fs::path dir = FDir / c.Name;
    fs::create_directories(dir);
    const fs::path phonebook = dir / "rasphone.pbk";
    const std::string old = kOthersBefore + "[Tarvolix]\r\nType=1\r\n";
    WriteBytes(phonebook, old);
    TScopedHandle holder;
    if (c.HolderShare != 0xFFFFFFFF) {
      holder.Reset(CreateFileW(phonebook.c_str(), GENERIC_READ, c.HolderShare, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_NE(holder.Get(), INVALID_HANDLE_VALUE);
    }
    if (c.ReadOnly) {
      ASSERT_TRUE(SetFileAttributesW(phonebook.c_str(), FILE_ATTRIBUTE_READONLY));
    }

    FMessages = 0;
    EXPECT_FALSE(Write(phonebook));
    EXPECT_EQ(FMessages, 1);

    holder.Close();
    if (c.ReadOnly)
      SetFileAttributesW(phonebook.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(phonebook), old);
    EXPECT_EQ(Names(dir), std::vector<std::string>{"rasphone.pbk"});
    // Once the holder is gone the entry goes in.
    EXPECT_TRUE(Write(phonebook));
    EXPECT_EQ(ReadBytes(phonebook), kOthersBefore + kTemplate);
  }
}
#endif

}  // namespace
}  // namespace velmora
