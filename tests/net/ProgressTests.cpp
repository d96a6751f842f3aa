// Size queries and progress: what Size, Percent, OnPercent and a progress bar show for the
// answers a server may give, and an abort requested from a progress callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "net/SynDownload.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

using test::HeadAnswer;
using test::OkAnswer;
using test::TLoopbackServer;

class TRecordingBar : public IProgressBar {
 public:
  int32_t Max() const override { return FMax; }
  void SetMax(int32_t value) override { FMax = value; }
  int32_t Position() const override { return FPosition; }
  void SetPosition(int32_t value) override {
    FPosition = value;
    Positions.push_back(value);
  }
  std::vector<int32_t> Positions;

 private:
  int32_t FMax = 0;
  int32_t FPosition = 0;
};

struct TProgressFixture : ::testing::Test {
  TProgressFixture() {
    download.SetOnPercent([this](TSynDownload* sender, int32_t percent) {
      EXPECT_EQ(sender, &download);
      reported.push_back(percent);
    });
  }
  TLoopbackServer server;
  TSynDownload download;
  std::vector<int32_t> reported;
};

// "HTTP/1.1 200 OK" + CR LF, "Content-Length: n" + CR LF, CR LF.
int64_t BlockOf(int64_t length) {
  return 17 + 18 + std::to_string(length).size() + 2;
}

TEST_F(TProgressFixture, HeadWithoutLengthLeavesSizeUnknownAndOnlyZeroReported) {
  server.Queue("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
  server.Queue(OkAnswer("body"));
  EXPECT_EQ(download.URLToString(server.WUrl()), L"body");
  EXPECT_EQ(download.Size(), -1);
  EXPECT_EQ(download.Percent(), 0);
  EXPECT_EQ(reported, std::vector<int32_t>{0});
}

TEST_F(TProgressFixture, PercentagesCountHeaderBytesAgainstTheEstimate) {
  const std::string body(10000, 'b');
  server.Queue(HeadAnswer(static_cast<int64_t>(body.size())));
  server.Queue(OkAnswer(body));
  TRecordingBar bar;
  download.SetProgressBar(&bar);
  EXPECT_EQ(download.URLToString(server.WUrl()), std::wstring(body.size(), L'b'));

  int64_t size = static_cast<int64_t>(body.size()) + BlockOf(body.size());
  EXPECT_EQ(download.Size(), size);
  EXPECT_EQ(download.Percent(), 100) << "the GET's header is as long as the HEAD's";
  ASSERT_FALSE(reported.empty());
  EXPECT_EQ(reported.front(), 0);
  EXPECT_EQ(reported.back(), 100);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(bar.Max(), size);
  EXPECT_EQ(bar.Positions.front(), 0);
  EXPECT_EQ(bar.Positions.back(), size) << "the finished transfer fills the bar";
}

TEST_F(TProgressFixture, ZeroLengthEstimateIsTheHeaderBlock) {
  server.Queue(HeadAnswer(0));
  server.Queue(OkAnswer(""));
  download.URLToString(server.WUrl());
  EXPECT_EQ(download.Size(), BlockOf(0));
  EXPECT_EQ(download.Percent(), 100);
}

TEST_F(TProgressFixture, BodyLargerThanTheEstimatePassesHundredAndWrapsPercent) {
  server.Queue(HeadAnswer(60));                   // estimate 60 + 39 = 99
  server.Queue(OkAnswer(std::string(159, 'x')));  // 40 + 159 = 199 bytes read: 201 %
  TRecordingBar bar;
  download.SetProgressBar(&bar);
  download.URLToString(server.WUrl());
  EXPECT_EQ(download.Size(), 99);
  EXPECT_EQ(reported.back(), 201) << "the callback gets the full value";
  EXPECT_EQ(download.Percent(), -55) << "201 kept in 8 signed bits";
  EXPECT_EQ(bar.Max(), 99);
  EXPECT_EQ(bar.Position(), 99);
  EXPECT_NE(std::find(bar.Positions.begin(), bar.Positions.end(), 199), bar.Positions.end());
}

TEST_F(TProgressFixture, PausedTransferCountsNothing) {
  server.Queue(HeadAnswer(4));
  server.Queue(OkAnswer("data"));
  download.SetOnPercent([this](TSynDownload*, int32_t percent) {
    reported.push_back(percent);
    download.SetPause(true);  // after the initial 0
  });
  EXPECT_EQ(download.URLToString(server.WUrl()), L"data");
  EXPECT_EQ(reported, std::vector<int32_t>{0});
  EXPECT_EQ(download.Percent(), 0);
}

TEST_F(TProgressFixture, AbortSetDuringTheTransferFailsItAndIsReported) {
  server.Queue(HeadAnswer(4));  // the aborted GET never goes out
  server.Queue(HeadAnswer(4));
  server.Queue(OkAnswer("next"));
  TRecordingBar bar;
  download.SetProgressBar(&bar);
  download.SetOnPercent([this](TSynDownload*, int32_t) { download.SetAbort(true); });
  EXPECT_EQ(download.URLToString(server.WUrl()), L"");
  EXPECT_TRUE(download.Aborted());
  EXPECT_FALSE(download.Abort());
  EXPECT_EQ(bar.Max(), 0);
  EXPECT_EQ(bar.Position(), 0);

  download.SetOnPercent(nullptr);
  EXPECT_EQ(download.URLToString(server.WUrl()), L"next") << "the next transfer runs again";
  EXPECT_FALSE(download.Aborted());
}

struct TSizeCase {
  const char* Name;
  std::string HeadAnswer;
  int64_t Size;   // GetSize2
  int64_t Size1;  // GetSize; -2: raises the conversion error
};

TEST(HttpSizeQuery, BothVariantsReadTheLengthTheirOwnWay) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const TSizeCase cases[] = {
      {"plain", ok + "Content-Length: 42\r\n\r\n", 42 + 17 + 20 + 2, 42 + 17 + 20 + 2},
      {"lower case, blanks", ok + "content-length:   7\r\n\r\n", 7 + 17 + 21 + 2, 7 + 17 + 21 + 2},
      {"not a number", ok + "Content-Length: 4x\r\n\r\n", -1, 4 + 17 + 20 + 2},
      {"no digit at all", ok + "Content-Length: none\r\n\r\n", -1, -2},
      {"other header first", ok + "X-Content-Length-Note: 12\r\nContent-Length: 5\r\n\r\n",
       5 + 17 + 27 + 19 + 2, 12 + 17 + 27 + 19 + 2},
      {"absent", ok + "Content-Type: text/html\r\n\r\n", -1, -1},
      {"headerless", "garbage\r\n", -1, -1},
      // With the header block the sum would not fit 64 bits: an impossible size is unknown.
      {"impossible length", ok + "Content-Length: 9223372036854775790\r\n\r\n", -1, -1},
      {"the largest length that fits", ok + "Content-Length: 9223372036854775751\r\n\r\n",
       9223372036854775807, 9223372036854775807},
  };
  for (const TSizeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TLoopbackServer server;
    server.Queue(c.HeadAnswer, test::TAfterAnswer::Close);
    server.Queue(c.HeadAnswer, test::TAfterAnswer::Close);
    TSynDownload download;
    EXPECT_EQ(download.GetSize2(server.WUrl()), c.Size);
    EXPECT_EQ(download.Size(), c.Size);
    if (c.Size1 == -2) {
      EXPECT_THROW(download.GetSize(server.WUrl()), EConvertError);
    } else {
      EXPECT_EQ(download.GetSize(server.WUrl()), c.Size1);
    }
    for (const auto& request : server.Requests()) {
      EXPECT_EQ(request.Bytes.rfind("HEAD / HTTP/1.0\r\n", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace velmora
