// The elevation decision, apart from the system calls so that native tests can hold it.
#include "app/Elevation.h"

namespace velmora::app {

TElevationStep DecideElevation(bool isAdministrator, bool startedByRelaunch) {
  if (isAdministrator)
    return TElevationStep::Run;
  // Relaunching once more would start the same token again, without end.
  return startedByRelaunch ? TElevationStep::GiveUp : TElevationStep::Relaunch;
}

}  // namespace velmora::app
