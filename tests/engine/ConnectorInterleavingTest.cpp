// Random interleavings of the window's calls with the connector's threads (run it under
// ThreadSanitizer): every run reports whole and in order, and nothing follows the destroy.
#include "engine/uConnectorClass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine/fakes/FakeEnv.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using testing::kPermanentThreads;
using testing::TDialerRun;
using testing::TFakeEnv;

// The dial and hang-up codes must read as whole runs: a dial is 80, an optional 48, then 64;
// a hang-up is 48. Only the very last run may be cut short by the destroy.
::testing::AssertionResult WholeRuns(const std::vector<uint32_t>& codes) {
  for (size_t i = 0; i < codes.size();) {
    if (codes[i] == cnHangUp) {
      ++i;
      continue;
    }
    if (codes[i] != cnDialStarted) {
      return ::testing::AssertionFailure() << "code " << codes[i] << " at " << i << " opens no run";
    }
    ++i;
    if (i < codes.size() && codes[i] == cnHangUp)
      ++i;
    if (i < codes.size() && codes[i] == cnDialDone) {
      ++i;
    } else if (i != codes.size()) {
      return ::testing::AssertionFailure() << "dial before " << i << " has no end";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(ConnectorInterleaving, RandomCallsAndDestroyLeaveWholeRunsAndNoLatePosts) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    EntryListed = false;
    TFakeEnv fake(round % 2 ? 0xFFFFFFFFu - random() % 60000 : random());
    fake.Runner.Script(TDialerRun::Dial, {round % 3 ? "Successfully connected.\r\n"
                                                    : "Remote Access error 691 - denied.\r\n"});
    fake.Runner.Script(TDialerRun::HangUp, {"Command completed successfully.\r\n"});
    fake.Runner.Script(TDialerRun::Listing, {"Connected to\r\nTarvolix\r\n"});
    fake.Transfer->Answer(L"0|10-2345|name");
    auto connector = fake.Create();
    int accepted = 0;
    const int operations = static_cast<int>(random() % 60);
    for (int op = 0; op < operations; ++op) {
      switch (random() % 9) {
        case 0:
          accepted += connector->Connect() ? 1 : 0;
          break;
        case 1:
          connector->Disconnect();
          break;
        case 2:
          fake.Clock.Advance(random() % 3000);
          break;
        case 3:
          connector->SetNextPingCheck(0);
          break;
        case 4:
          connector->SetNextUserAccountCheck(fake.Clock.Ticks());
          break;
        case 5:
          connector->SetLogin(L"user" + std::to_wstring(op));
          break;
        case 6:
          connector->SetPassword(L"secret");
          break;
        case 7:
          (void)connector->PingStatus();
          (void)connector->UserInfo();
          (void)connector->ConsoleOutput();
          (void)connector->NextPingCheck();
          (void)connector->NextUserAccountCheck();
          break;
        default:
          std::this_thread::yield();
          break;
      }
    }
    auto destroyed = std::async(std::launch::async, [&] { connector.reset(); });
    ASSERT_EQ(destroyed.wait_for(3s), std::future_status::ready) << "round " << round;
    const std::vector<uint32_t> atDestroy = fake.Notifier.Codes();
    fake.Clock.Advance(60000);
    EXPECT_TRUE(fake.Clock.WaitSleeping(0));
    EXPECT_EQ(fake.Notifier.Codes(), atDestroy) << "round " << round;
    EXPECT_TRUE(WholeRuns(fake.Notifier.DialCodes())) << "round " << round;
    EXPECT_LE(fake.Runner.Started(TDialerRun::Dial), accepted) << "round " << round;
  }
}

}  // namespace
}  // namespace velmora
