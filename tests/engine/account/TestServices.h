// The connector's services for the account query tests: virtual time, a notifier that counts
// the codes, a dialer and an echo that do nothing, and the real transfer with a call count.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "engine/AccountTransfer.h"
#include "engine/ConnectorEnv.h"

namespace velmora::account_test {

inline constexpr std::chrono::seconds kRealTimeBound{30};

// Virtual milliseconds: a Sleep lasts until the test has moved time past its end.
class TVirtualClock : public IClock {
 public:
  uint32_t Ticks() override {
    std::lock_guard lock(FMutex);
    return FNow;
  }

  bool Sleep(uint32_t ms, const TStopSignal& stop) override {
    std::unique_lock lock(FMutex);
    const uint64_t id = ++FLastSleeper;
    FSleepers[id] = uint64_t{FNow} + ms;
    FChanged.notify_all();
    while (FSleepers.count(id) != 0 && !stop.IsSet())
      FChanged.wait_for(lock, std::chrono::milliseconds(2));  // the stop signal cannot wake it
    FSleepers.erase(id);
    FChanged.notify_all();
    return !stop.IsSet();
  }

  // Moves time on and wakes every sleeper whose end has come.
  void Advance(uint32_t ms) {
    std::lock_guard lock(FMutex);
    FNow += ms;
    std::erase_if(FSleepers, [this](const auto& sleeper) { return sleeper.second <= FNow; });
    FChanged.notify_all();
  }

  // Waits until count threads sleep, that is until every pass that time allowed has run.
  bool WaitSleeping(size_t count) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, kRealTimeBound, [&] { return FSleepers.size() == count; });
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  uint32_t FNow = 700000;
  uint64_t FLastSleeper = 0;
  std::map<uint64_t, uint64_t> FSleepers;  // sleeper -> virtual time at which it wakes
};

class TCountingNotifier : public INotifier {
 public:
  void Post(uintptr_t, uint32_t code) override {
    if (code == 32)  // cnAccountInfo
      FAccountInfo++;
  }
  size_t AccountInfoCount() const { return FAccountInfo.load(); }

 private:
  std::atomic<size_t> FAccountInfo{0};
};

// The line watch runs too; here it finds no dialer output and no echo.
class TSilentRunner : public IConsoleRunner {
 public:
  void Run(const std::wstring&, const std::wstring&, const TConsoleOutputProc&,
           const TStopSignal*) override {}
};

class TNoEcho : public IProbe {
 public:
  bool PingHost(const std::string&) override { return false; }
};

// MakeAccountTransfer's transfer, counting the queries that went through it.
class TCountedTransfer : public ITextTransfer {
 public:
  explicit TCountedTransfer(std::shared_ptr<std::atomic<int>> calls)
      : FCalls(std::move(calls)), FReal(MakeAccountTransfer()) {}

  std::wstring URLToString(const std::wstring& url) override {
    std::wstring answer = FReal->URLToString(url);
    ++*FCalls;
    return answer;
  }
  void Cancel() override { FReal->Cancel(); }

 private:
  std::shared_ptr<std::atomic<int>> FCalls;
  std::unique_ptr<ITextTransfer> FReal;
};

}  // namespace velmora::account_test
