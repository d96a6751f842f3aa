// Answers a broken or hostile server may send: a body limit a caller sets lower, a declared
// length that never arrives (memory follows the bytes, not the promise), and a cookie flood.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "net/HTTPAnswer.h"
#include "net/HTTPSend.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

using test::TAfterAnswer;
using test::TLoopbackServer;

constexpr int64_t kLimit = 64 * 1024;

TEST(HttpHostileAnswer, ABodyPastTheCallersLimitFailsTheExchangeInEveryFraming) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::string atLimit(kLimit, 'x');
  const std::string pastLimit(kLimit + 1, 'x');
  auto chunked = [&](const std::string& body) {
    return ok + "Transfer-Encoding: chunked\r\n\r\n" + "8000\r\n" + body.substr(0, 0x8000) +
           "\r\n" + [&] {
             std::string rest = body.substr(0x8000);
             char size[16];
             snprintf(size, sizeof(size), "%zx", rest.size());
             return std::string(size) + "\r\n" + rest + "\r\n0\r\n\r\n";
           }();
  };
  struct TCase {
    const char* Name;
    std::string Answer;
    TAfterAnswer After;
    bool Completed;
  };
  const TCase cases[] = {
      {"length at the limit", ok + "Content-Length: 65536\r\n\r\n" + atLimit,
       TAfterAnswer::KeepOpen, true},
      {"length past the limit", ok + "Content-Length: 65537\r\n\r\n" + pastLimit,
       TAfterAnswer::KeepOpen, false},
      {"to the close, at the limit", "HTTP/1.0 200 OK\r\n\r\n" + atLimit, TAfterAnswer::Close,
       true},
      {"to the close, past the limit", "HTTP/1.0 200 OK\r\n\r\n" + pastLimit, TAfterAnswer::Close,
       false},
      {"chunked, at the limit", chunked(atLimit), TAfterAnswer::KeepOpen, true},
      {"chunked, past the limit", chunked(pastLimit), TAfterAnswer::KeepOpen, false},
      {"no header, past the limit", "x\r\n" + pastLimit, TAfterAnswer::Close, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TLoopbackServer server;
    server.Queue(c.Answer, c.After);
    THTTPSend http;
    http.Protocol = "1.1";
    http.Timeout = 5000;
    http.MaxBodyBytes = kLimit;
    EXPECT_EQ(http.HTTPMethod("GET", server.Url("/")), c.Completed);
    EXPECT_EQ(http.Document.size(), c.Completed ? static_cast<size_t>(kLimit) : 0u);
  }
}

// Announces a length it never delivers: a little data, then the connection ends. Notes the
// largest receive the reader asked of it.
class TPromisingSource : public IByteSource {
 public:
  explicit TPromisingSource(std::string data) : FData(std::move(data)) {}
  TRecvResult Recv(char* buffer, size_t size, int, size_t& received) override {
    FLargestAsk = std::max(FLargestAsk, size);
    received = std::min(size, FData.size() - FDone);
    if (received == 0)
      return TRecvResult::Closed;
    std::copy_n(FData.data() + FDone, received, buffer);
    FDone += received;
    return TRecvResult::Data;
  }
  size_t LargestAsk() const { return FLargestAsk; }

 private:
  std::string FData;
  size_t FDone = 0;
  size_t FLargestAsk = 0;
};

TEST(HttpHostileAnswer, ADeclaredLengthIsNotAllocatedBeforeTheBytesArrive) {
  const size_t sent = 3 * 1024 * 1024;
  TPromisingSource source("HTTP/1.1 200 OK\r\nContent-Length: 268435456\r\n\r\n" +
                          std::string(sent, 'x'));
  http::TBufferedReader reader(source, 1000, nullptr);
  http::THTTPAnswer answer;
  EXPECT_FALSE(http::ReadAnswer(reader, false, answer));
  // Grown as the data came, a modest step ahead: never the announced 256 MiB.
  EXPECT_LE(source.LargestAsk(), 1024u * 1024u + 64u * 1024u);
  EXPECT_LE(answer.Body.capacity(), 2 * (sent + 1024u * 1024u));
}

TEST(HttpHostileAnswer, ALengthThatArrivesInFullIsReadWhole) {
  std::string body(5 * 1024 * 1024 + 17, 'y');
  body[0] = 'a';
  body.back() = 'z';
  TPromisingSource source("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                          "\r\n\r\n" + body);
  http::TBufferedReader reader(source, 1000, nullptr);
  http::THTTPAnswer answer;
  ASSERT_TRUE(http::ReadAnswer(reader, false, answer));
  EXPECT_EQ(answer.Body, body);
}

std::vector<std::string> SetCookies(int first, int count, const std::string& prefix = "c") {
  std::vector<std::string> headers;
  for (int i = first; i < first + count; ++i)
    headers.push_back("Set-Cookie: " + prefix + std::to_string(i) + "=v" + std::to_string(i));
  return headers;
}

TEST(HttpHostileAnswer, AtMostFiftyCookiesAreKeptTheNewestOnes) {
  std::vector<TCookie> cookies;
  http::StoreCookies(SetCookies(0, 60), cookies);
  ASSERT_EQ(cookies.size(), kMaxCookies);
  EXPECT_EQ(cookies.front().Name, "c10");
  EXPECT_EQ(cookies.back().Name, "c59");
  // Across answers too, and a flood of thousands stays at fifty.
  http::StoreCookies(SetCookies(0, 20000, "flood"), cookies);
  ASSERT_EQ(cookies.size(), kMaxCookies);
  EXPECT_EQ(cookies.front().Name, "flood19950");
  EXPECT_EQ(cookies.back().Name, "flood19999");
}

TEST(HttpHostileAnswer, ANewerCookieOfTheSameNameReplacesTheOlderInItsPlace) {
  std::vector<TCookie> cookies;
  http::StoreCookies(SetCookies(0, kMaxCookies), cookies);
  http::StoreCookies({"Set-Cookie: c0=new; Path=/"}, cookies);
  ASSERT_EQ(cookies.size(), kMaxCookies);
  EXPECT_EQ(cookies.front().Name, "c0");
  EXPECT_EQ(cookies.front().Value, "new");
}

TEST(HttpHostileAnswer, ACookieLongerThan4096BytesIsNotStored) {
  const std::string fits(kMaxCookieBytes - 4, 'v');  // "sid=" and the value: 4096 bytes
  std::vector<TCookie> cookies;
  http::StoreCookies({"Set-Cookie: sid=" + fits, "Set-Cookie: big=" + fits + "xx"}, cookies);
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_EQ(cookies[0].Name, "sid");
  EXPECT_EQ(cookies[0].Value, fits);
  // Nor does it replace a stored one of its name.
  http::StoreCookies({"Set-Cookie: sid=" + fits + "x"}, cookies);
  EXPECT_EQ(cookies[0].Value, fits);
}

}  // namespace
}  // namespace velmora
