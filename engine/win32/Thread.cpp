// The connector's threads on CreateThread. Each thread starts suspended so its handle is
// recorded before it runs; the group keeps a duplicate of every handle to wait on, since the
// dial and hang-up threads close their own.
#include "engine/Thread.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace velmora {

struct TThreadGroup::TState {
  std::mutex Mutex;
  std::condition_variable Changed;
  size_t Running = 0;
  std::vector<HANDLE> Threads;  // the group's own handles, closed once the thread has ended

  void CloseFinished() {
    std::erase_if(Threads, [](HANDLE thread) {
      if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0)
        return false;
      CloseHandle(thread);
      return true;
    });
  }
};

namespace {
struct TStartRecord {
  TThreadRoutine Routine;
  std::shared_ptr<TThreadGroup::TState> State;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
  std::unique_ptr<TStartRecord> record(static_cast<TStartRecord*>(parameter));
  record->Routine();
  std::lock_guard lock(record->State->Mutex);
  --record->State->Running;
  record->State->Changed.notify_all();
  return 0;
}
}  // namespace

void CloseThreadHandle(TThreadHandle handle) {
  if (handle)
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

TThreadGroup::TThreadGroup() : FState(std::make_shared<TState>()) {}

TThreadGroup::~TThreadGroup() {
  JoinAll();
}

TThreadHandle TThreadGroup::Start(TThreadRoutine routine, std::atomic<TThreadHandle>* slot) {
  std::lock_guard lock(FState->Mutex);
  FState->CloseFinished();
  auto* record = new TStartRecord{std::move(routine), FState};
  HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, record, CREATE_SUSPENDED, nullptr);
  if (!thread) {
    delete record;
    return 0;
  }
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, SYNCHRONIZE, FALSE,
                       0)) {
    // Without a handle to wait on the thread must not run at all.
    TerminateThread(thread, 0);
    CloseHandle(thread);
    delete record;
    return 0;
  }
  const auto handle = reinterpret_cast<TThreadHandle>(thread);
  if (slot)
    slot->store(handle);
  ++FState->Running;
  FState->Threads.push_back(own);
  ResumeThread(thread);
  return handle;
}

bool TThreadGroup::WaitAll(uint32_t ms) {
  std::unique_lock lock(FState->Mutex);
  return FState->Changed.wait_for(lock, std::chrono::milliseconds(ms),
                                  [this] { return FState->Running == 0; });
}

void TThreadGroup::JoinAll() {
  std::vector<HANDLE> threads;
  {
    std::lock_guard lock(FState->Mutex);
    threads.swap(FState->Threads);
  }
  for (HANDLE thread : threads) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

}  // namespace velmora
