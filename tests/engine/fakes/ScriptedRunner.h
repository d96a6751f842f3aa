// A console runner that plays the dialer: each kind of command line (dial, hang-up, listing)
// gets scripted chunks, a test can hold runs of a kind until it releases them, and runs of a
// kind can throw.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ConnectorEnv.h"
#include "tests/engine/fakes/FakeClock.h"

namespace velmora::testing {

enum class TDialerRun { Dial, HangUp, Listing };

inline TDialerRun KindOf(const std::wstring& command) {
  if (command.ends_with(L"/DISCONNECT"))
    return TDialerRun::HangUp;
  if (command.ends_with(L"\" "))
    return TDialerRun::Listing;
  return TDialerRun::Dial;
}

class TScriptedRunner : public IConsoleRunner {
 public:
  // One event per start and end of a run, in the order they happened.
  struct TEvent {
    TDialerRun Kind;
    bool Start;
    bool operator==(const TEvent&) const = default;
  };

  // Chunks are 8-bit ANSI text; none at all plays a dialer that could not be started.
  void Script(TDialerRun kind, std::vector<std::string> chunks) {
    std::lock_guard lock(FMutex);
    FChunks[kind] = std::move(chunks);
  }

  // Runs of this kind wait before writing until released; a stop ends them with no output.
  void Hold(TDialerRun kind) {
    std::lock_guard lock(FMutex);
    FHeld[kind] = true;
  }

  // Runs of this kind throw once they have started, as one that ran out of memory would.
  void Throw(TDialerRun kind) {
    std::lock_guard lock(FMutex);
    FThrows[kind] = true;
  }

  void Release(TDialerRun kind) {
    std::lock_guard lock(FMutex);
    FHeld[kind] = false;
    FChanged.notify_all();
  }

  void Run(const std::wstring& command, const std::wstring& params,
           const TConsoleOutputProc& onChunk, const TStopSignal* stop) override {
    const TDialerRun kind = KindOf(command);
    std::vector<std::string> chunks;
    {
      std::unique_lock lock(FMutex);
      FCommands.push_back(command);
      FParams.push_back(params);
      FEvents.push_back({kind, true});
      ++FStarted[kind];
      FChanged.notify_all();
      while (FHeld[kind] && !(stop && stop->IsSet())) {
        FChanged.wait_for(lock, std::chrono::milliseconds(2));
      }
      if (stop && stop->IsSet()) {
        ++FStopped;
        FEvents.push_back({kind, false});
        FChanged.notify_all();
        return;
      }
      if (FThrows[kind]) {
        FEvents.push_back({kind, false});
        throw std::runtime_error("scripted runner failure");
      }
      chunks = FChunks[kind];
    }
    for (const std::string& chunk : chunks)
      onChunk(chunk.c_str());
    std::lock_guard lock(FMutex);
    FEvents.push_back({kind, false});
    ++FFinished[kind];
    FChanged.notify_all();
  }

  bool WaitStarted(TDialerRun kind, int count) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, kRealTimeBound, [&] { return FStarted[kind] >= count; });
  }

  int Started(TDialerRun kind) {
    std::lock_guard lock(FMutex);
    return FStarted[kind];
  }

  int StoppedRuns() {
    std::lock_guard lock(FMutex);
    return FStopped;
  }

  std::vector<std::wstring> Commands() {
    std::lock_guard lock(FMutex);
    return FCommands;
  }

  std::vector<std::wstring> Params() {
    std::lock_guard lock(FMutex);
    return FParams;
  }

  // The events of the dial and hang-up runs, without the listings.
  std::vector<TEvent> DialEvents() {
    std::lock_guard lock(FMutex);
    std::vector<TEvent> events;
    for (const TEvent& event : FEvents) {
      if (event.Kind != TDialerRun::Listing)
        events.push_back(event);
    }
    return events;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::map<TDialerRun, std::vector<std::string>> FChunks;
  std::map<TDialerRun, bool> FHeld;
  std::map<TDialerRun, bool> FThrows;
  std::map<TDialerRun, int> FStarted;
  std::map<TDialerRun, int> FFinished;
  int FStopped = 0;
  std::vector<std::wstring> FCommands;
  std::vector<std::wstring> FParams;
  std::vector<TEvent> FEvents;
};

}  // namespace velmora::testing
