// What the thread group needs of the system: a thread that waits to be released, and a way
// to tell whether it has ended and to wait for its end. Win32 and std::thread versions.
#pragma once

#include <functional>
#include <memory>

#include "engine/Thread.h"

namespace velmora::threads {

// The group's own hold on one thread, independent of the handle given to the caller.
class TJoinable {
 public:
  virtual ~TJoinable() = default;
  virtual bool Finished() = 0;  // the thread has ended, Join returns at once
  virtual void Join() = 0;
};

struct TStartedThread {
  TThreadHandle Handle = 0;  // 0: no thread was created and body never runs
  std::unique_ptr<TJoinable> Joinable;
  std::function<void()> Release;  // lets body run
};

// Creates a thread that runs body once Release is called.
TStartedThread StartHeld(std::function<void()> body);

}  // namespace velmora::threads
