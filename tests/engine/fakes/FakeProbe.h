// The line check's echo for tests: a settable answer, the targets it was asked for, and an
// optional action run during the echo (to let virtual time pass inside a check, say).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ConnectorEnv.h"

namespace velmora::testing {

class TFakeProbe : public IProbe {
 public:
  std::atomic<bool> Reachable{true};
  std::function<void()> DuringEcho;  // set before the connector exists

  bool PingHost(const std::string& target) override {
    {
      std::lock_guard lock(FMutex);
      FTargets.push_back(target);
    }
    if (DuringEcho)
      DuringEcho();
    return Reachable.load();
  }

  std::vector<std::string> Targets() {
    std::lock_guard lock(FMutex);
    return FTargets;
  }

 private:
  std::mutex FMutex;
  std::vector<std::string> FTargets;
};

}  // namespace velmora::testing
