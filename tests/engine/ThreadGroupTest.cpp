// The thread group under the connector: handles recorded before a routine runs, waiting for
// every thread it started.
#include "engine/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

namespace velmora {
namespace {

TEST(ThreadGroup, StoresTheHandleBeforeTheRoutineRuns) {
  TThreadGroup group;
  std::vector<std::atomic<TThreadHandle>> slots(50);
  std::vector<TThreadHandle> seen(slots.size(), 0);
  std::vector<TThreadHandle> returned(slots.size(), 0);
  for (size_t i = 0; i < slots.size(); ++i) {
    // The routine clears its own slot at once, as the dial thread does in its final block.
    returned[i] = group.Start([&, i] { seen[i] = slots[i].exchange(0); }, &slots[i]);
  }
  group.JoinAll();
  for (size_t i = 0; i < slots.size(); ++i) {
    EXPECT_NE(returned[i], 0u);
    EXPECT_EQ(seen[i], returned[i]);
    EXPECT_EQ(slots[i].load(), 0u);
    CloseThreadHandle(returned[i]);
  }
}

TEST(ThreadGroup, WaitAllTellsWhetherAnyRoutineStillRuns) {
  TThreadGroup group;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> finished{0};
  for (int i = 0; i < 3; ++i) {
    CloseThreadHandle(group.Start([&] {
      released.wait();
      ++finished;
    }));
  }
  EXPECT_FALSE(group.WaitAll(10));
  release.set_value();
  EXPECT_TRUE(group.WaitAll(20000));
  group.JoinAll();
  EXPECT_EQ(finished.load(), 3);
  EXPECT_TRUE(group.WaitAll(0));
}

}  // namespace
}  // namespace velmora
