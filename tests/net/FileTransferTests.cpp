// URLToFile: the file is created before anything is sent, a file that cannot be created raises
// the creation error and sends nothing, and a failed transfer leaves an empty file.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "net/SynDownload.h"
#include "tests/net/FileLock.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::HeadAnswer;
using test::OkAnswer;
using test::TAfterAnswer;
using test::TLoopbackServer;

struct TFileFixture : ::testing::Test {
  TFileFixture() {
    // Unique per run: trees of other builds may run the same tests at the same time.
    dir = fs::temp_directory_path() /
          ("velmora-net-" + std::to_string(std::random_device()()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~TFileFixture() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  static std::string Content(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void Write(const fs::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary) << content;
  }
  fs::path dir;
  TLoopbackServer server;
  TSynDownload download;
};

TEST_F(TFileFixture, BodyLandsInTheFileWhichExistedBeforeTheRequest) {
  fs::path target = dir / "Ostrada_updated.exe";
  Write(target, "an older and longer content");
  std::atomic<bool> emptyAtHead{false};
  server.Queue({HeadAnswer(7), TAfterAnswer::KeepOpen,
                [&] { emptyAtHead = fs::exists(target) && fs::file_size(target) == 0; }});
  server.Queue(OkAnswer(std::string("MZ\0\x01\xff!x", 7)));
  download.URLToFile(server.WUrl(L"/Ostrada.exe"), target.wstring());
  EXPECT_TRUE(emptyAtHead);
  EXPECT_EQ(Content(target), std::string("MZ\0\x01\xff!x", 7));
}

TEST_F(TFileFixture, ErrorPageIsWrittenLikeAnyBody) {
  fs::path target = dir / "page.html";
  server.Queue(HeadAnswer(9));
  server.Queue("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n<p>no</p>");
  download.URLToFile(server.WUrl(L"/missing"), target.wstring());
  EXPECT_EQ(Content(target), "<p>no</p>");
}

TEST_F(TFileFixture, FailedTransferOrEmptyBodyLeavesAnEmptyClosedFile) {
  const std::pair<const char*, std::string> cases[] = {
      {"truncated body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"},
      {"redirect with empty body",
       "HTTP/1.1 301 Moved\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n"},
  };
  for (const auto& [name, answer] : cases) {
    SCOPED_TRACE(name);
    fs::path target = dir / "partial.bin";
    Write(target, "old content");
    server.Queue(HeadAnswer(100));
    server.Queue(answer, TAfterAnswer::Close);
    download.URLToFile(server.WUrl(L"/f"), target.wstring());
    EXPECT_EQ(fs::file_size(target), 0u);
    fs::remove(target);  // closed: it can go
    EXPECT_FALSE(fs::exists(target));
  }
}

TEST_F(TFileFixture, UnreachableServerLeavesAnEmptyFile) {
  uint16_t port;
  {
    TTcpListener closed;  // a port nobody listens on any more
    ASSERT_TRUE(closed.Listen());
    port = closed.Port();
  }
  fs::path target = dir / "none.bin";
  download.URLToFile(L"http://127.0.0.1:" + std::to_wstring(port) + L"/f", target.wstring());
  EXPECT_EQ(fs::file_size(target), 0u);
  EXPECT_EQ(download.Size(), -1);
}

TEST_F(TFileFixture, TargetThatCannotBeCreatedRaisesTheErrorAndSendsNothing) {
  fs::path missingDir = dir / "no such folder" / "file.bin";
  try {
    download.URLToFile(server.WUrl(L"/f"), missingDir.wstring());
    ADD_FAILURE() << "no error raised";
  } catch (const EFCreateError& error) {
    std::wstring prefix = L"Cannot create file \"" + missingDir.wstring() + L"\". ";
    EXPECT_EQ(error.Message().rfind(prefix, 0), 0u);
    EXPECT_GT(error.Message().size(), prefix.size()) << "the system's reason follows";
  }
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(TFileFixture, LockedTargetRaisesTheErrorKeepsItsContentAndSendsNothing) {
  fs::path target = dir / "Ostrada.exe";
  Write(target, "running program");
  {
    test::TFileLock lock(target);
    ASSERT_TRUE(lock.Held());
    EXPECT_THROW(download.URLToFile(server.WUrl(L"/f"), target.wstring()), EFCreateError);
  }
  EXPECT_EQ(Content(target), "running program");
  EXPECT_EQ(server.Connections(), 0);
}

}  // namespace
}  // namespace velmora
