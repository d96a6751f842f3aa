// Ending exchanges: Cancel from another thread, https and unreachable servers, all of which
// fail the transfer with an empty result and never raise.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "net/SynDownload.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

using test::HeadAnswer;
using test::TAfterAnswer;
using test::TLoopbackServer;

using std::chrono::steady_clock;

// Far below the 90 s read time-out the stalled exchanges run with.
constexpr auto kPromptly = std::chrono::seconds(20);

struct TStallCase {
  const char* Name;
  std::vector<std::pair<std::string, TAfterAnswer>> Answers;
};

TEST(HttpCancel, CancelFromAnotherThreadEndsAStalledExchangeAtOnce) {
  const TStallCase cases[] = {
      {"stalled size query", {{"", TAfterAnswer::Stall}}},
      {"stalled GET", {{HeadAnswer(10), TAfterAnswer::KeepOpen}, {"", TAfterAnswer::Stall}}},
      {"GET stalled inside the body",
       {{HeadAnswer(10), TAfterAnswer::KeepOpen},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", TAfterAnswer::Stall}}},
  };
  for (const TStallCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TLoopbackServer server;
    for (const auto& [bytes, after] : c.Answers)
      server.Queue(bytes, after);
    TSynDownload download;
    auto started = steady_clock::now();
    auto transfer =
        std::async(std::launch::async, [&] { return download.URLToString(server.WUrl()); });
    // Until the exchange stalls where scripted; a transfer that ends first fails the case
    // instead of leaving this loop waiting for a request that never comes.
    while (server.Requests().size() < c.Answers.size()) {
      ASSERT_EQ(transfer.wait_for(std::chrono::milliseconds(10)), std::future_status::timeout)
          << "the transfer ended before it stalled: \"" << transfer.get() << "\"";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    download.Cancel();
    ASSERT_EQ(transfer.wait_for(kPromptly), std::future_status::ready);
    EXPECT_EQ(transfer.get(), L"");
    EXPECT_LT(steady_clock::now() - started, kPromptly);

    // Cancelled for good: later transfers fail without a connection.
    int connections = server.Connections();
    EXPECT_EQ(download.URLToString(server.WUrl()), L"");
    EXPECT_EQ(download.GetSize2(server.WUrl()), -1);
    EXPECT_EQ(server.Connections(), connections);
  }
}

TEST(HttpCancel, HttpsFailsLikeAnUnreachableServerWithoutConnecting) {
  TLoopbackServer server;
  TSynDownload download;
  EXPECT_EQ(download.URLToString(L"https://127.0.0.1:" + std::to_wstring(server.Port()) + L"/"),
            L"");
  EXPECT_EQ(download.Size(), -1);
  EXPECT_FALSE(download.PostURL(L"https://127.0.0.1:" + std::to_wstring(server.Port()) + L"/"));
  EXPECT_EQ(server.Connections(), 0);
}

TEST(HttpCancel, UnreachableServerGivesEmptyText) {
  uint16_t port;
  {
    TTcpListener closed;
    ASSERT_TRUE(closed.Listen());
    port = closed.Port();
  }
  TSynDownload download;
  std::vector<int32_t> reported;
  download.SetOnPercent([&](TSynDownload*, int32_t percent) { reported.push_back(percent); });
  EXPECT_EQ(download.URLToString(L"http://127.0.0.1:" + std::to_wstring(port) + L"/x"), L"");
  EXPECT_FALSE(download.PostURL(L"http://127.0.0.1:" + std::to_wstring(port) + L"/x"));
  EXPECT_EQ(download.Size(), -1);
  EXPECT_EQ(reported, (std::vector<int32_t>{0, 0}));
}

TEST(HttpCancel, HelperGoesAwayCleanlyAfterAnExchangeFailed) {
  TLoopbackServer server;
  server.Queue(HeadAnswer(3));
  server.Queue("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab", TAfterAnswer::Reset);
  auto download = std::make_unique<TSynDownload>();
  download->SetReadTimeout(2000);
  EXPECT_EQ(download->URLToString(server.WUrl()), L"");
  download.reset();
}

}  // namespace
}  // namespace velmora
