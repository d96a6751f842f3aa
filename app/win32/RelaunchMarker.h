// The short-lived mark the first copy leaves for the copy it relaunches, so that copy knows it
// came from a relaunch without an extra argument (the arguments are passed on unchanged): a
// named event whose name holds the first copy's process id, alive only while that copy waits.
#pragma once

#include <windows.h>

#include "base/win32/Scoped.h"

namespace velmora::app {

class TRelaunchMarker {
 public:
  TRelaunchMarker();  // the mark of this process
  TRelaunchMarker(const TRelaunchMarker&) = delete;
  TRelaunchMarker& operator=(const TRelaunchMarker&) = delete;

  // Waits until the started copy has seen the mark, has ended, or ms have passed.
  void WaitSeen(HANDLE startedProcess, DWORD ms) const;
  HANDLE Event() const { return FEvent.Get(); }

 private:
  TScopedHandle FEvent;
};

// Whether the process that started this one left its mark; tells that process so.
bool StartedByRelaunch();

}  // namespace velmora::app
