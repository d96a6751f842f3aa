// The connector's threads: pointer-sized handles (0 = none) and a group that knows every
// thread it started, so the connector's destructor can wait until none of them runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace velmora {

using TThreadHandle = uintptr_t;
using TThreadRoutine = std::function<void()>;

// Gives up a handle returned by TThreadGroup::Start; the thread itself runs on. 0 is ignored.
void CloseThreadHandle(TThreadHandle handle);

class TThreadGroup {
 public:
  TThreadGroup();
  ~TThreadGroup();  // waits for every thread, as JoinAll
  TThreadGroup(const TThreadGroup&) = delete;
  TThreadGroup& operator=(const TThreadGroup&) = delete;

  // Runs routine on a new thread and returns its handle, which the caller closes with
  // CloseThreadHandle; 0 when no thread could be created (routine then never runs). When slot
  // is given the handle is stored there before routine starts, so a routine that clears its
  // own slot never races the store.
  TThreadHandle Start(TThreadRoutine routine, std::atomic<TThreadHandle>* slot = nullptr);
  // Waits up to ms milliseconds until no routine started here is running; true when none is.
  bool WaitAll(uint32_t ms);
  // Waits until every thread started here has ended.
  void JoinAll();

  struct TState;  // the bookkeeping, shared with the running threads

 private:
  std::shared_ptr<TState> FState;
};

}  // namespace velmora
