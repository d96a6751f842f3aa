// The thread group's bookkeeping, the same on every system: how many threads still run,
// waiting for them, and joining those that have ended as new ones start.
#include "engine/Thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "engine/ThreadPlatform.h"

namespace velmora {

struct TThreadGroup::TState {
  std::mutex Mutex;
  std::condition_variable Changed;
  size_t Running = 0;
  std::vector<std::unique_ptr<threads::TJoinable>> Threads;

  void JoinFinished() {
    std::erase_if(Threads, [](const std::unique_ptr<threads::TJoinable>& thread) {
      if (!thread->Finished())
        return false;
      thread->Join();
      return true;
    });
  }
};

TThreadGroup::TThreadGroup() : FState(std::make_shared<TState>()) {}

TThreadGroup::~TThreadGroup() {
  JoinAll();
}

TThreadHandle TThreadGroup::Start(TThreadRoutine routine, std::atomic<TThreadHandle>* slot) {
  std::lock_guard lock(FState->Mutex);
  FState->JoinFinished();
  threads::TStartedThread started =
      threads::StartHeld([state = FState, routine = std::move(routine)] {
        routine();
        std::lock_guard lock(state->Mutex);
        --state->Running;
        state->Changed.notify_all();
      });
  if (!started.Handle)
    return 0;
  // Recorded before the routine runs, so a routine that clears its own slot never races this.
  if (slot)
    slot->store(started.Handle);
  ++FState->Running;
  FState->Threads.push_back(std::move(started.Joinable));
  started.Release();
  return started.Handle;
}

bool TThreadGroup::WaitAll(uint32_t ms) {
  std::unique_lock lock(FState->Mutex);
  return FState->Changed.wait_for(lock, std::chrono::milliseconds(ms),
                                  [this] { return FState->Running == 0; });
}

void TThreadGroup::JoinAll() {
  std::vector<std::unique_ptr<threads::TJoinable>> threads;
  {
    std::lock_guard lock(FState->Mutex);
    threads.swap(FState->Threads);
  }
  for (auto& thread : threads)
    thread->Join();
}

}  // namespace velmora
