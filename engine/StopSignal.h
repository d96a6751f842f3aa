// A one-way signal that ends the connector's waits at once when the connector is destroyed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velmora {

class TStopSignal {
 public:
  void Set() {
    std::lock_guard lock(FMutex);
    FSet = true;
    FChanged.notify_all();
  }

  bool IsSet() const {
    std::lock_guard lock(FMutex);
    return FSet;
  }

  // Waits up to ms milliseconds; true when the signal was set (before or during the wait).
  bool WaitFor(uint32_t ms) const {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FSet; });
  }

 private:
  mutable std::mutex FMutex;
  mutable std::condition_variable FChanged;
  bool FSet = false;
};

}  // namespace velmora
