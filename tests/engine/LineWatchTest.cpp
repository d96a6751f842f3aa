// The line watch: the check's truth table, its timing on the deadline (first check, 20 s from
// the end of a check, asked-for checks, checks held off by a dial, a check that throws) and its
// lock.
#include "engine/uConnectorClass.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Rasphone.h"
#include "engine/Ticks.h"
#include "tests/engine/fakes/FakeEnv.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using testing::kPermanentThreads;
using testing::kRealTimeBound;
using testing::kTestDialer;
using testing::TDialerRun;
using testing::TFakeEnv;

const std::string kListed = "Connected to\r\nTarvolix\r\nCommand completed successfully.\r\n";
const std::string kNotListed = "No connections\r\nCommand completed successfully.\r\n";

// Starts near the counter's wrap so the deadlines of these tests cross it.
constexpr uint32_t kNearWrap = 0xFFFFFFFFu - 30000;

class LineWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    EntryListed = false;
    Fake.Runner.Script(TDialerRun::Listing, {kListed});
    Fake.Runner.Script(TDialerRun::Dial, {"Successfully connected to Tarvolix.\r\n"});
  }

  // Lets time pass in one-second steps until the line watch has run count checks in all.
  bool RunUntilChecks(size_t count, uint32_t limitMs = 60000) {
    for (uint32_t passed = 0; passed <= limitMs; passed += 1000) {
      if (Fake.Notifier.Count(cnLineChecked) >= count)
        return true;
      if (!Fake.Clock.Run(1000, kPermanentThreads))
        return false;
    }
    return Fake.Notifier.Count(cnLineChecked) >= count;
  }

  TFakeEnv Fake{kNearWrap};
};

TEST_F(LineWatch, TheLineIsUpOnlyWhenListedAndReachable) {
  struct TCase {
    bool Listed;
    bool Reachable;
    bool Up;
  };
  const std::vector<TCase> cases = {
      {true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
  for (const TCase& c : cases) {
    EntryListed = false;
    TFakeEnv fake;
    fake.Runner.Script(TDialerRun::Listing, {c.Listed ? kListed : kNotListed});
    fake.Probe.Reachable = c.Reachable;
    auto connector = fake.Create();
    ASSERT_TRUE(fake.Clock.Run(1000, kPermanentThreads));
    ASSERT_EQ(fake.Notifier.Count(cnLineChecked), 1u);
    EXPECT_EQ(connector->PingStatus(), c.Up) << c.Listed << c.Reachable;
    // The echo is sent whatever the listing found, to the build's probe target.
    EXPECT_EQ(fake.Probe.Targets(), (std::vector<std::string>{"127.0.0.1"}));
  }
}

TEST_F(LineWatch, TheFirstCheckComesAboutASecondAfterCreate) {
  auto connector = Fake.Create();
  EXPECT_FALSE(connector->PingStatus());
  ASSERT_TRUE(Fake.Clock.Run(999, kPermanentThreads, 999));
  EXPECT_EQ(Fake.Runner.Started(TDialerRun::Listing), 0);
  ASSERT_TRUE(Fake.Clock.Run(1, kPermanentThreads, 1));
  EXPECT_EQ(Fake.Notifier.Count(cnLineChecked), 1u);
  EXPECT_TRUE(connector->PingStatus());
  EXPECT_EQ(Fake.Runner.Commands(), (std::vector<std::wstring>{ListingCommandLine(kTestDialer)}));
}

TEST_F(LineWatch, ChecksAreTwentySecondsApartCountedFromTheEndOfTheLast) {
  // Each check lasts 1500 ms of virtual time (a slow echo).
  std::vector<uint32_t> starts;
  std::vector<uint32_t> ends;
  Fake.Probe.DuringEcho = [&] {
    starts.push_back(Fake.Clock.Ticks());
    Fake.Clock.Advance(1500);
    ends.push_back(Fake.Clock.Ticks());
  };
  auto connector = Fake.Create();
  ASSERT_TRUE(RunUntilChecks(3));
  ASSERT_EQ(starts.size(), 3u);
  for (size_t i = 1; i < starts.size(); ++i) {
    const uint32_t gap = TicksSince(starts[i], ends[i - 1]);
    EXPECT_GE(gap, 20000u);
    EXPECT_LE(gap, 21000u);  // within a poll of the deadline
  }
  // The counter wrapped during these checks.
  EXPECT_LT(Fake.Clock.Ticks(), kNearWrap);
}

TEST_F(LineWatch, ADeadlineOfZeroBringsACheckWithinASecond) {
  auto connector = Fake.Create();
  ASSERT_TRUE(RunUntilChecks(1));
  ASSERT_TRUE(Fake.Clock.Run(5000, kPermanentThreads));
  EXPECT_EQ(Fake.Notifier.Count(cnLineChecked), 1u);
  connector->SetNextPingCheck(kDueNow);
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(Fake.Notifier.Count(cnLineChecked), 2u);
  EXPECT_EQ(connector->NextPingCheck(), DeadlineAfter(Fake.Clock.Ticks(), 20000));
}

TEST_F(LineWatch, ACheckThatThrowsIsRecordedAndTheNextOneComesOnTime) {
  std::atomic<bool> fail{true};
  Fake.Probe.DuringEcho = [&] {
    if (fail.load())
      throw std::runtime_error("scripted echo failure");
  };
  auto connector = Fake.Create();
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(connector->ThreadFaults(), 1u);
  EXPECT_EQ(connector->LastThreadFault(), "scripted echo failure");
  EXPECT_EQ(Fake.Notifier.Count(cnLineChecked), 0u);
  EXPECT_EQ(connector->NextPingCheck(), DeadlineAfter(Fake.Clock.Ticks(), 20000));
  fail = false;
  ASSERT_TRUE(RunUntilChecks(1, 21000));
  EXPECT_TRUE(connector->PingStatus());
  EXPECT_EQ(Fake.Runner.Started(TDialerRun::Listing), 2);
  EXPECT_EQ(connector->ThreadFaults(), 1u);
}

TEST_F(LineWatch, NoCheckStartsWhileADialRunsAndOneFollowsASecondAfterIt) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Dial);
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));
  ASSERT_TRUE(Fake.Clock.Run(120000, kPermanentThreads));
  EXPECT_EQ(Fake.Runner.Started(TDialerRun::Listing), 0);
  EXPECT_EQ(connector->NextPingCheck(), kHoldOff);
  Fake.Runner.Release(TDialerRun::Dial);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(Fake.Notifier.Count(cnLineChecked), 1u);
  EXPECT_TRUE(connector->PingStatus());
}

TEST_F(LineWatch, ACheckRunningWhenADialBeginsFinishesAndStoresItsOwnDeadline) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Listing);
  Fake.Runner.Hold(TDialerRun::Dial);
  Fake.Clock.Advance(1000);
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Listing, 1));
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));  // the deadline now holds off
  Fake.Runner.Release(TDialerRun::Listing);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnLineChecked, 1));
  ASSERT_TRUE(Fake.Clock.WaitSleeping(kPermanentThreads));
  EXPECT_EQ(connector->NextPingCheck(), DeadlineAfter(Fake.Clock.Ticks(), 20000));
  Fake.Runner.Release(TDialerRun::Dial);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  EXPECT_EQ(connector->NextPingCheck(), DeadlineAfter(Fake.Clock.Ticks(), 1000));
}

TEST_F(LineWatch, PingStatusReadOnTheNotificationWaitsForTheCheckToEnd) {
  std::future<bool> read;
  std::future_status whilePosting = std::future_status::ready;
  TConnector* watched = nullptr;
  // The receiver reads at once, while the check still holds csPing.
  Fake.Notifier.OnPost = [&](uint32_t code) {
    if (code != cnLineChecked)
      return;
    read = std::async(std::launch::async, [&] { return watched->PingStatus(); });
    whilePosting = read.wait_for(50ms);
  };
  auto connector = Fake.Create();
  watched = connector.get();
  Fake.Clock.Advance(1000);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnLineChecked, 1));
  EXPECT_EQ(whilePosting, std::future_status::timeout);
  ASSERT_EQ(read.wait_for(kRealTimeBound), std::future_status::ready);
  EXPECT_TRUE(read.get());
}

TEST_F(LineWatch, TheLastChunkOfAListingDecidesAndASilentListingKeepsTheLastAnswer) {
  Fake.Runner.Script(TDialerRun::Listing,
                     {"Connected to\r\nTarvolix\r\n", "Command completed.\r\n"});
  auto connector = Fake.Create();
  ASSERT_TRUE(RunUntilChecks(1));
  EXPECT_FALSE(EntryListed);
  EXPECT_FALSE(connector->PingStatus());

  Fake.Runner.Script(TDialerRun::Listing, {kListed});
  connector->SetNextPingCheck(kDueNow);
  ASSERT_TRUE(RunUntilChecks(2));
  EXPECT_TRUE(connector->PingStatus());

  Fake.Runner.Script(TDialerRun::Listing, {});  // the dialer could not be started
  connector->SetNextPingCheck(kDueNow);
  ASSERT_TRUE(RunUntilChecks(3));
  EXPECT_TRUE(EntryListed);
  EXPECT_TRUE(connector->PingStatus());
}

TEST_F(LineWatch, DestroyDuringACheckEndsTheListingAndPostsNothing) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Listing);
  Fake.Clock.Advance(1000);
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Listing, 1));
  auto destroyed = std::async(std::launch::async, [&] { connector.reset(); });
  ASSERT_EQ(destroyed.wait_for(3s), std::future_status::ready);
  EXPECT_EQ(Fake.Notifier.Count(cnLineChecked), 0u);
  EXPECT_TRUE(Fake.Probe.Targets().empty());
  EXPECT_EQ(Fake.Runner.StoppedRuns(), 1);
}

}  // namespace
}  // namespace velmora
