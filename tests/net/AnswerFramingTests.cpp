// How answers are framed and when an exchange counts as completed: a table of server answers
// played on loopback to the client, into its Document and into a stream, and the limits
// against hostile answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "net/HTTPAnswer.h"
#include "net/HTTPSend.h"
#include "net/Streams.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

using test::TAfterAnswer;
using test::TLoopbackServer;

struct TAnswerCase {
  const char* Name;
  std::string Answer;
  TAfterAnswer After;
  bool Completed;
  int Status;
  std::string Body;
};

const std::string kOk = "HTTP/1.1 200 OK\r\n";

TEST(HttpAnswerFraming, AnswersToGet) {
  const TAnswerCase cases[] = {
      {"content length", kOk + "Content-Length: 5\r\n\r\nhello", TAfterAnswer::KeepOpen, true, 200,
       "hello"},
      {"content length 0", kOk + "Content-Length: 0\r\n\r\n", TAfterAnswer::KeepOpen, true, 200,
       ""},
      {"chunked with extensions and trailer, over a length",
       kOk + "Content-Length: 3\r\nTransfer-Encoding: Chunked\r\n\r\n"
             "5;name=value\r\nhello\r\n6 ; x\r\n world\r\nA\r\n0123456789\r\n0\r\n"
             "X-Trailer: t\r\n\r\n",
       TAfterAnswer::KeepOpen, true, 200, "hello world0123456789"},
      {"neither length nor chunks: read to close", "HTTP/1.0 200 OK\r\n\r\nuntil the end\r\n",
       TAfterAnswer::Close, true, 200, "until the end\r\n"},
      {"read to close ended by a reset", "HTTP/1.0 200 OK\r\n\r\nuntil the reset",
       TAfterAnswer::Reset, true, 200, "until the reset"},
      {"404 page delivered",
       "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\n<p>no</p>",
       TAfterAnswer::KeepOpen, true, 404, "<p>no</p>"},
      {"redirect not followed",
       "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:9/elsewhere\r\nContent-Length: 0\r\n\r\n",
       TAfterAnswer::KeepOpen, true, 302, ""},
      {"100 Continue skipped",
       "HTTP/1.1 100 Continue\r\n\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok",
       TAfterAnswer::KeepOpen, true, 201, "ok"},
      {"no header: first line begins the body", "just text\r\nand more", TAfterAnswer::Close, true,
       0, "just text\r\nand more"},
      {"no header, one line without line end", "lonely", TAfterAnswer::Close, true, 0, "lonely"},
      {"204 has no body", "HTTP/1.1 204 No Content\r\n\r\n", TAfterAnswer::KeepOpen, true, 204, ""},
      {"304 has no body", "HTTP/1.1 304 Not Modified\r\n\r\n", TAfterAnswer::KeepOpen, true, 304,
       ""},
      {"status that is not a number", "HTTP/1.1 abc OK\r\nContent-Length: 1\r\n\r\nx",
       TAfterAnswer::KeepOpen, true, 0, "x"},
      {"length that is not a number: read to close", kOk + "Content-Length: 12abc\r\n\r\nxyz",
       TAfterAnswer::Close, true, 200, "xyz"},
      {"LF line ends", "HTTP/1.1 200 OK\nContent-Length: 2\n\nhi", TAfterAnswer::KeepOpen, true,
       200, "hi"},
      {"garbage bytes: an answer without header", std::string("\x00\xff\x01garbage", 10),
       TAfterAnswer::Close, true, 0, std::string("\x00\xff\x01garbage", 10)},
      {"closed before any byte", "", TAfterAnswer::Close, false, 0, ""},
      {"closed inside the header", kOk + "Content-Le", TAfterAnswer::Close, false, 200, ""},
      {"truncated length body", kOk + "Content-Length: 10\r\n\r\nabc", TAfterAnswer::Close, false,
       200, ""},
      {"truncated length body, reset", kOk + "Content-Length: 10\r\n\r\nabc", TAfterAnswer::Reset,
       false, 200, ""},
      {"truncated chunk", kOk + "Transfer-Encoding: chunked\r\n\r\n5\r\nhel", TAfterAnswer::Close,
       false, 200, ""},
      {"chunks without the last one", kOk + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
       TAfterAnswer::Close, false, 200, ""},
      {"chunk size that is not a number",
       kOk + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\nmore\r\n0\r\n\r\n",
       TAfterAnswer::KeepOpen, false, 200, ""},
      {"chunk size above the limit", kOk + "Transfer-Encoding: chunked\r\n\r\n10000001\r\nx",
       TAfterAnswer::KeepOpen, false, 200, ""},
      {"length above the limit", kOk + "Content-Length: 268435457\r\n\r\nx", TAfterAnswer::KeepOpen,
       false, 200, ""},
      {"header line above the limit", kOk + "X-Long: " + std::string(70000, 'a') + "\r\n\r\n",
       TAfterAnswer::KeepOpen, false, 200, ""},
  };
  // Each answer once into Document and once straight into a stream as it arrives.
  for (const TAnswerCase& c : cases) {
    for (bool streamed : {false, true}) {
      SCOPED_TRACE(std::string(c.Name) + (streamed ? ", into a stream" : ", into Document"));
      TLoopbackServer server;
      server.Queue(c.Answer, c.After);
      THTTPSend http;
      http.Protocol = "1.1";
      http.Timeout = 5000;
      TMemoryStream stream;
      if (streamed)
        http.BodyStream = &stream;
      EXPECT_EQ(http.HTTPMethod("GET", server.Url("/")), c.Completed);
      EXPECT_EQ(http.ResultCode, c.Status);
      EXPECT_EQ(http.Document, streamed ? "" : c.Body);
      if (streamed && c.Completed)
        EXPECT_EQ(stream.Data(), c.Body);
    }
  }
}

// A stream that takes nothing, as a full disk would.
class TRefusingStream : public TStream {
 public:
  bool Write(const char*, size_t) override { return false; }
  int64_t Position() const override { return 0; }
  void SetPosition(int64_t) override {}
};

TEST(HttpAnswerFraming, ABodyTheStreamRefusesFailsTheExchangeInEveryFraming) {
  const std::pair<const char*, std::string> cases[] = {
      {"length", kOk + "Content-Length: 5\r\n\r\nhello"},
      {"chunked", kOk + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"},
      {"to the close", "HTTP/1.0 200 OK\r\n\r\nhello"},
      {"no header", "hello\r\nworld"},
  };
  for (const auto& [name, answer] : cases) {
    SCOPED_TRACE(name);
    TLoopbackServer server;
    server.Queue(answer, TAfterAnswer::Close);
    THTTPSend http;
    http.Timeout = 5000;
    TRefusingStream stream;
    http.BodyStream = &stream;
    EXPECT_FALSE(http.HTTPMethod("GET", server.Url("/")));
  }
}

TEST(HttpAnswerFraming, HeadAnswerHasNoBodyEvenWithALength) {
  TLoopbackServer server;
  server.Queue("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nContent-Type: text/plain\r\n\r\n");
  THTTPSend http;
  http.Timeout = 5000;
  ASSERT_TRUE(http.HTTPMethod("HEAD", server.Url("/")));
  EXPECT_EQ(http.Document, "");
  EXPECT_EQ(http.MimeType, "text/plain");
  EXPECT_EQ(http.HeaderBlockLength(), 17 + 22 + 26 + 2);
}

TEST(HttpAnswerFraming, StalledServerFailsAfterTheReadTimeout) {
  const std::pair<const char*, std::string> cases[] = {
      {"before the status line", ""},
      {"inside the body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"},
  };
  for (const auto& [name, answer] : cases) {
    SCOPED_TRACE(name);
    TLoopbackServer server;
    server.Queue(answer, TAfterAnswer::Stall);
    THTTPSend http;
    EXPECT_EQ(http.Timeout, 90000);
    http.Timeout = 300;
    EXPECT_FALSE(http.HTTPMethod("GET", server.Url("/")));
    EXPECT_EQ(http.Document, "");
  }
}

// A source that hands out a long run of bytes without holding them, to reach the body limit.
class TEndlessSource : public IByteSource {
 public:
  TEndlessSource(std::string head, char filler) : FHead(std::move(head)), FFiller(filler) {}
  TRecvResult Recv(char* buffer, size_t size, int, size_t& received) override {
    size_t fromHead = std::min(size, FHead.size() - FDone);
    std::copy_n(FHead.data() + FDone, fromHead, buffer);
    std::fill(buffer + fromHead, buffer + size, FFiller);
    FDone += fromHead;
    received = size;
    return TRecvResult::Data;
  }

 private:
  std::string FHead;
  char FFiller;
  size_t FDone = 0;
};

TEST(HttpAnswerFraming, EndlessHeaderFailsAtTheHeaderLimit) {
  const std::pair<std::string, char> cases[] = {
      {"HTTP/1.1 200 OK\r\nX: ", 'x'},  // one endless line
      {"", '\n'},                       // endless empty lines before a status line
  };
  for (const auto& [head, filler] : cases) {
    TEndlessSource source(head, filler);
    http::TBufferedReader reader(source, 1000, nullptr);
    http::THTTPAnswer answer;
    EXPECT_FALSE(http::ReadAnswer(reader, false, answer));
    EXPECT_LE(reader.Received(), http::kMaxHeaderBytes + 128 * 1024);
  }
}

TEST(HttpAnswerFraming, BodyReadToTheEndFailsPastItsLimit) {
  TEndlessSource source("", 'x');
  http::TBufferedReader reader(source, 1000, nullptr);
  http::TBodySink body([](const char*, size_t) { return true; });
  EXPECT_EQ(reader.ReadToClose(body, 1 << 20), http::TReadStatus::Failed);
  EXPECT_LE(body.Size(), (1u << 20) + 64 * 1024);
}

}  // namespace
}  // namespace velmora
