// The child of the relaunch mark's tests: exit code 1 when it finds its starter's mark.
#include "app/win32/RelaunchMarker.h"

int wmain() {
  return velmora::app::StartedByRelaunch() ? 1 : 0;
}
