// Native threads of the connector on std::thread; finished threads are joined as new ones
// start, the rest when the group is joined.
#include "engine/Thread.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace velmora {

namespace {
std::atomic<TThreadHandle> NextHandle{1};

struct TEntry {
  std::thread Thread;
  std::shared_ptr<bool> Done;  // set under the group's mutex when the routine has returned
};
}  // namespace

struct TThreadGroup::TState {
  std::mutex Mutex;
  std::condition_variable Changed;
  size_t Running = 0;
  std::vector<TEntry> Threads;

  void JoinFinished() {
    std::erase_if(Threads, [](TEntry& entry) {
      if (!*entry.Done)
        return false;
      entry.Thread.join();
      return true;
    });
  }
};

void CloseThreadHandle(TThreadHandle) {}

TThreadGroup::TThreadGroup() : FState(std::make_shared<TState>()) {}

TThreadGroup::~TThreadGroup() {
  JoinAll();
}

TThreadHandle TThreadGroup::Start(TThreadRoutine routine, std::atomic<TThreadHandle>* slot) {
  std::lock_guard lock(FState->Mutex);
  FState->JoinFinished();
  auto done = std::make_shared<bool>(false);
  std::promise<void> gate;
  auto opened = gate.get_future();
  TEntry entry{{}, done};
  try {
    entry.Thread = std::thread(
        [state = FState, done, routine = std::move(routine), opened = std::move(opened)]() mutable {
          opened.wait();
          routine();
          std::lock_guard lock(state->Mutex);
          *done = true;
          --state->Running;
          state->Changed.notify_all();
        });
  } catch (const std::system_error&) {
    return 0;
  }
  const TThreadHandle handle = NextHandle.fetch_add(1);
  if (slot)
    slot->store(handle);
  ++FState->Running;
  FState->Threads.push_back(std::move(entry));
  gate.set_value();
  return handle;
}

bool TThreadGroup::WaitAll(uint32_t ms) {
  std::unique_lock lock(FState->Mutex);
  return FState->Changed.wait_for(lock, std::chrono::milliseconds(ms),
                                  [this] { return FState->Running == 0; });
}

void TThreadGroup::JoinAll() {
  std::vector<TEntry> threads;
  {
    std::lock_guard lock(FState->Mutex);
    threads.swap(FState->Threads);
  }
  for (TEntry& entry : threads)
    entry.Thread.join();
}

}  // namespace velmora
