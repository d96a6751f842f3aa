// The account query's HTTP exchange for tests: a scripted answer, the addresses asked for,
// a hold that only a release or a Cancel ends, and an exchange that throws. A Cancel reaches
// only a running exchange.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ConnectorEnv.h"
#include "tests/engine/fakes/FakeClock.h"

namespace velmora::testing {

class TFakeTransferState {
 public:
  void Answer(std::wstring answer) {
    std::lock_guard lock(FMutex);
    FAnswer = std::move(answer);
  }

  // Every later exchange throws, as one that ran out of memory would.
  void Throw(bool value) {
    std::lock_guard lock(FMutex);
    FThrow = value;
  }

  void Hold() {
    std::lock_guard lock(FMutex);
    FHeld = true;
  }

  void Release() {
    std::lock_guard lock(FMutex);
    FHeld = false;
    FChanged.notify_all();
  }

  std::wstring Exchange(const std::wstring& url) {
    std::unique_lock lock(FMutex);
    FUrls.push_back(url);
    FRunning = true;
    FCancelled = false;
    FChanged.notify_all();
    FChanged.wait(lock, [this] { return !FHeld || FCancelled; });
    FRunning = false;
    if (FThrow)
      throw std::runtime_error("scripted exchange failure");
    return FCancelled ? std::wstring() : FAnswer;
  }

  void Cancel() {
    std::lock_guard lock(FMutex);
    ++FCancels;
    if (FRunning)
      FCancelled = true;
    FChanged.notify_all();
  }

  bool WaitUrls(size_t count) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, kRealTimeBound, [&] { return FUrls.size() >= count; });
  }

  std::vector<std::wstring> Urls() {
    std::lock_guard lock(FMutex);
    return FUrls;
  }

  int Cancels() {
    std::lock_guard lock(FMutex);
    return FCancels;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::wstring FAnswer;
  bool FHeld = false;
  bool FThrow = false;
  bool FRunning = false;
  bool FCancelled = false;
  int FCancels = 0;
  std::vector<std::wstring> FUrls;
};

class TFakeTransfer : public ITextTransfer {
 public:
  explicit TFakeTransfer(std::shared_ptr<TFakeTransferState> state) : FState(std::move(state)) {}
  std::wstring URLToString(const std::wstring& url) override { return FState->Exchange(url); }
  void Cancel() override { FState->Cancel(); }

 private:
  std::shared_ptr<TFakeTransferState> FState;
};

}  // namespace velmora::testing
