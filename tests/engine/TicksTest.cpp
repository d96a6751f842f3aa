// Deadlines on the wrapping 32-bit millisecond counter.
#include "engine/Ticks.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

TEST(Ticks, DueComparesAcrossTheWrapAndKeepsTheTwoSpecialValues) {
  struct TCase {
    uint32_t Now;
    uint32_t Deadline;
    bool Due;
  };
  const std::vector<TCase> cases = {
      {1000, 999, true},
      {1000, 1000, true},
      {1000, 1001, false},
      {0xFFFFFF00u, 0x00000100u, false},  // set just before the wrap, due just after it
      {0x00000100u, 0xFFFFFF00u, true},   // passed just before the wrap
      {0x00000101u, 0x00000100u, true},
      {5, kDueNow, true},  // 0 is due at once
      {0xFFFFFFFEu, kDueNow, true},
      {0, kHoldOff, false},  // all bits set holds off, whatever the counter
      {0x7FFFFFFFu, kHoldOff, false},
      {0xFFFFFFFFu, kHoldOff, false},
      {0x80000000u, 0x00000001u, true},  // half a cycle late is still due
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(IsDue(c.Now, c.Deadline), c.Due) << std::hex << c.Now << " " << c.Deadline;
  }
}

TEST(Ticks, DeadlineAfterWrapsAndStepsPastTheSpecialValues) {
  struct TCase {
    uint32_t Now;
    uint32_t Ms;
    uint32_t Deadline;
  };
  const std::vector<TCase> cases = {
      {1000, 20000, 21000},
      {0xFFFFFFFFu - 30000, 20000, 0xFFFFFFFFu - 10000},
      {0xFFFFFFFFu - 1000, 20000, 18999},       // wrapped
      {0xFFFFFFFFu - 999, 1000, 1},             // would be 0, "at once"
      {0xFFFFFFFFu - 1000, 1000, 0xFFFFFFFEu},  // would be all bits, "held off"
  };
  for (const TCase& c : cases) {
    const uint32_t deadline = DeadlineAfter(c.Now, c.Ms);
    EXPECT_EQ(deadline, c.Deadline);
    EXPECT_FALSE(IsDue(c.Now, deadline));
    EXPECT_TRUE(IsDue(c.Now + c.Ms + 1, deadline));  // at most a millisecond late
  }
}

}  // namespace
}  // namespace velmora
