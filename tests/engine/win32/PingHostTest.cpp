// PingHost against loopback and against targets the platform rejects at once (no outside
// address, no name lookup); no handle is left behind either way.
#include "engine/PingHost.h"

#include <gtest/gtest.h>

#include "tests/engine/win32/HandleCount.h"

namespace velmora {
namespace {

using testing::OpenHandleCount;

class PingHostTest : public ::testing::Test {
 protected:
  // The first probe loads the socket and ICMP libraries, which keep a few handles for good.
  static void SetUpTestSuite() { PingHost("127.0.0.1"); }
};

TEST_F(PingHostTest, LoopbackAnswers) {
  const ULONG before = OpenHandleCount();
  EXPECT_TRUE(PingHost("127.0.0.1"));
  EXPECT_EQ(OpenHandleCount(), before);
}

// Dotted addresses resolve without a name server; these two are refused by the platform
// before anything leaves the machine.
TEST_F(PingHostTest, RejectedTargetsFailAndLeaveNoHandle) {
  for (const char* target : {"0.0.0.0", "255.255.255.255"}) {
    const ULONG before = OpenHandleCount();
    ASSERT_NE(before, 0u);
    EXPECT_FALSE(PingHost(target)) << target;
    EXPECT_EQ(OpenHandleCount(), before) << target;
  }
}

}  // namespace
}  // namespace velmora
