// A virtual millisecond counter for the connector's tests: Sleep blocks until the test moves
// virtual time past its end (or stop is set), so time-based behaviour runs without real waits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

#include "engine/ConnectorEnv.h"

namespace velmora::testing {

inline constexpr std::chrono::seconds kRealTimeBound{20};

class TFakeClock : public IClock {
 public:
  explicit TFakeClock(uint32_t start = 500000) : FNow(start) {}

  uint32_t Ticks() override {
    std::lock_guard lock(FMutex);
    return static_cast<uint32_t>(FNow);
  }

  bool Sleep(uint32_t ms, const TStopSignal& stop) override {
    std::unique_lock lock(FMutex);
    const uint64_t id = ++FLastSleeper;
    FSleepers[id] = FNow + ms;
    Release();
    FChanged.notify_all();
    while (FSleepers.count(id) != 0) {
      if (stop.IsSet()) {
        FSleepers.erase(id);
        FChanged.notify_all();
        return false;
      }
      // The stop signal has no way to wake this wait, so it is looked at now and then.
      FChanged.wait_for(lock, std::chrono::milliseconds(2));
    }
    return !stop.IsSet();
  }

  // Moves virtual time on (across the 32-bit wrap as the real counter does).
  void Advance(uint32_t ms) {
    std::lock_guard lock(FMutex);
    FNow += ms;
    Release();
    FChanged.notify_all();
  }

  // Waits until exactly count threads sleep with their end still ahead.
  bool WaitSleeping(size_t count) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, kRealTimeBound, [&] { return FSleepers.size() == count; });
  }

  // Moves time on in steps of stepMs; after each step waits until sleepers threads are
  // asleep again, so every pass that the step allowed has run.
  bool Run(uint32_t ms, size_t sleepers, uint32_t stepMs = 1000) {
    for (uint32_t done = 0; done < ms; done += stepMs) {
      Advance(stepMs);
      if (!WaitSleeping(sleepers))
        return false;
    }
    return true;
  }

 private:
  void Release() {
    std::erase_if(FSleepers, [this](const auto& sleeper) { return sleeper.second <= FNow; });
  }

  std::mutex FMutex;
  std::condition_variable FChanged;
  uint64_t FNow;  // not wrapped; Ticks gives its low 32 bits
  uint64_t FLastSleeper = 0;
  std::map<uint64_t, uint64_t> FSleepers;  // sleeper -> virtual time at which it wakes
};

}  // namespace velmora::testing
