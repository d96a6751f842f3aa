// The client against a real web server (lighttpd on loopback, started by the test fixture
// with the port in VELMORA_LIGHTTPD_PORT): a large file byte for byte, keep-alive reuse and a
// chunked answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "net/SynDownload.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::wstring ServerUrl(const std::wstring& path) {
  const char* port = std::getenv("VELMORA_LIGHTTPD_PORT");
  return L"http://127.0.0.1:" + std::wstring(port, port + std::strlen(port)) + path;
}

// The fixture's big.bin: 5 MiB, byte i = (7i + i/2048) mod 256.
std::string BigFile() {
  std::string bytes(5 * 1024 * 1024, '\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>((7 * i + (i >> 11)) & 0xFF);
  return bytes;
}

class HttpInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("VELMORA_LIGHTTPD_PORT"))
      GTEST_SKIP() << "no web server fixture";
  }
};

TEST_F(HttpInterop, LargeFileArrivesByteForByte) {
  fs::path target = fs::temp_directory_path() /
                    ("velmora-interop-" + std::to_string(std::random_device()()) + ".bin");
  TSynDownload download;
  download.URLToFile(ServerUrl(L"/big.bin"), target.wstring());
  std::ifstream in(target, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  fs::remove(target);
  EXPECT_TRUE(content == BigFile()) << "got " << content.size() << " bytes";
  EXPECT_GT(download.Size(), 5 * 1024 * 1024) << "length plus the HEAD's header block";
  // The GET's header block may differ from the HEAD's by a few bytes.
  EXPECT_GE(download.Percent(), 99);
  EXPECT_LE(download.Percent(), 100);
}

TEST_F(HttpInterop, TwoGetsShareOneKeptAliveConnection) {
  TSynDownload download;
  EXPECT_EQ(download.URLToString(ServerUrl(L"/small.txt")), L"small file\n");
  EXPECT_EQ(download.URLToString(ServerUrl(L"/small.txt?again")), L"small file\n");
  EXPECT_EQ(download.HTTP().ConnectionCount(), 1);
}

TEST_F(HttpInterop, ChunkedAnswerIsJoined) {
  TSynDownload download;
  std::wstring expected;
  for (int i = 1; i <= 5; ++i) {
    expected += L"line " + std::to_wstring(i) + L" of the streamed answer\n";
  }
  EXPECT_EQ(download.URLToString(ServerUrl(L"/chunked.sh")), expected);
  const auto& headers = download.HTTP().Headers;
  EXPECT_NE(std::find(headers.begin(), headers.end(), "Transfer-Encoding: chunked"), headers.end());
  EXPECT_EQ(download.Size(), -1) << "the HEAD had no length";
}

}  // namespace
}  // namespace velmora
