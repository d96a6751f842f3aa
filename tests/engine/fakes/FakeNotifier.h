// Records the codes the connector posts, in order, for the tests to wait for and compare.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/ConnectorEnv.h"
#include "engine/uConnectorClass.h"
#include "tests/engine/fakes/FakeClock.h"

namespace velmora::testing {

inline constexpr uintptr_t kTestWindow = 0x1234;

class TRecordingNotifier : public INotifier {
 public:
  // Runs on the posting thread before the code is recorded (set it before the connector exists).
  std::function<void(uint32_t code)> OnPost;

  void Post(uintptr_t window, uint32_t code) override {
    if (OnPost)
      OnPost(code);
    std::lock_guard lock(FMutex);
    FWindows.push_back(window);
    FCodes.push_back(code);
    FChanged.notify_all();
  }

  std::vector<uint32_t> Codes() {
    std::lock_guard lock(FMutex);
    return FCodes;
  }

  std::vector<uintptr_t> Windows() {
    std::lock_guard lock(FMutex);
    return FWindows;
  }

  // The codes of the dial and hang-up threads only (80, 64, 48), in order.
  std::vector<uint32_t> DialCodes() {
    std::vector<uint32_t> codes = Codes();
    std::erase_if(codes,
                  [](uint32_t code) { return code == cnLineChecked || code == cnAccountInfo; });
    return codes;
  }

  size_t Count(uint32_t code) {
    std::lock_guard lock(FMutex);
    return std::count(FCodes.begin(), FCodes.end(), code);
  }

  bool WaitCount(uint32_t code, size_t count) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, kRealTimeBound, [&] {
      return static_cast<size_t>(std::count(FCodes.begin(), FCodes.end(), code)) >= count;
    });
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::vector<uint32_t> FCodes;
  std::vector<uintptr_t> FWindows;
};

}  // namespace velmora::testing
