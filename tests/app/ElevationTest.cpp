// The elevation decision: an administrator runs, anyone else relaunches once, and the copy the
// relaunch started gives up instead of relaunching without end.
#include "app/Elevation.h"

#include <gtest/gtest.h>

namespace velmora::app {
namespace {

TEST(DecideElevation, RelaunchesOnlyAStartThatNoRelaunchMade) {
  struct TCase {
    bool IsAdministrator;
    bool StartedByRelaunch;
    TElevationStep Expected;
  };
  const TCase cases[] = {
      {true, false, TElevationStep::Run},
      {true, true, TElevationStep::Run},  // the relaunch that worked
      {false, false, TElevationStep::Relaunch},
      {false, true, TElevationStep::GiveUp},  // "runas" gave the same token again
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(DecideElevation(c.IsAdministrator, c.StartedByRelaunch), c.Expected)
        << c.IsAdministrator << c.StartedByRelaunch;
  }
}

}  // namespace
}  // namespace velmora::app
