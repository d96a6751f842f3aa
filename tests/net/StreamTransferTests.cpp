// URLToStream and the in-memory stream: a body lands at the stream's position and the position
// ends at 0; a failed transfer leaves the caller's stream as it was and gives no text.
#include <gtest/gtest.h>

#include <string>

#include "net/Streams.h"
#include "net/SynDownload.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

using test::HeadAnswer;
using test::OkAnswer;
using test::TAfterAnswer;
using test::TLoopbackServer;

TMemoryStream StreamHolding(const std::string& content, int64_t position) {
  TMemoryStream stream;
  stream.Write(content.data(), content.size());
  stream.SetPosition(position);
  return stream;
}

TEST(MemoryStream, WritesOverwriteInPlaceAndGrowPastTheEnd) {
  struct TCase {
    const char* Name;
    int64_t Position;
    std::string Written;
    std::string Content;
    int64_t PositionAfter;
  };
  const TCase cases[] = {
      {"at the end", 6, "789", "abcdef789", 9},
      {"inside", 2, "XY", "abXYef", 4},
      {"across the end", 4, "XYZ", "abcdXYZ", 7},
      {"at the start", 0, std::string("\0\xff", 2), std::string("\0\xff", 2) + "cdef", 2},
      {"nothing", 3, "", "abcdef", 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStream stream = StreamHolding("abcdef", c.Position);
    EXPECT_TRUE(stream.Write(c.Written.data(), c.Written.size()));
    EXPECT_EQ(stream.Data(), c.Content);
    EXPECT_EQ(stream.Position(), c.PositionAfter);
  }
}

TEST(StreamTransfer, BodyLandsAtThePositionWhichEndsAtZero) {
  TLoopbackServer server;
  server.Queue(HeadAnswer(5));
  server.Queue(OkAnswer("hello"));
  TSynDownload download;
  TMemoryStream stream = StreamHolding("old content", 4);
  download.URLToStream(server.WUrl(L"/f"), stream);
  EXPECT_EQ(stream.Data(), "old hellont");
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(download.HTTP().Document, "");
}

TEST(StreamTransfer, TruncatedBodyLeavesTheStreamAsItWasAndGivesNoText) {
  const std::string truncated = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this";
  TLoopbackServer server;
  server.Queue(HeadAnswer(100));
  server.Queue(truncated, TAfterAnswer::Close);
  server.Queue(HeadAnswer(100));
  server.Queue(truncated, TAfterAnswer::Close);
  TSynDownload download;
  TMemoryStream stream = StreamHolding("old content", 4);
  download.URLToStream(server.WUrl(L"/f"), stream);
  EXPECT_EQ(stream.Data(), "old content");
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(download.URLToString(server.WUrl(L"/f")), L"");
}

}  // namespace
}  // namespace velmora
