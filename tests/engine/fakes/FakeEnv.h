// All of the connector's services as fakes, and a connector built on them with the test
// window set, the way the main window creates it.
#pragma once

#include <memory>

#include "engine/uConnectorClass.h"
#include "tests/engine/fakes/FakeClock.h"
#include "tests/engine/fakes/FakeNotifier.h"
#include "tests/engine/fakes/FakeProbe.h"
#include "tests/engine/fakes/FakeTransfer.h"
#include "tests/engine/fakes/ScriptedRunner.h"

namespace velmora::testing {

// The connector's two permanent threads, asleep between their passes.
inline constexpr size_t kPermanentThreads = 2;
inline const std::wstring kTestDialer = L"C:\\Windows\\System32\\rasdial.exe";

struct TFakeEnv {
  explicit TFakeEnv(uint32_t startTicks = 500000) : Clock(startTicks) {}

  TConnectorEnv Env() {
    TConnectorEnv env;
    env.Clock = &Clock;
    env.Notifier = &Notifier;
    env.Runner = &Runner;
    env.Probe = &Probe;
    env.MakeTransfer = [state = Transfer] { return std::make_unique<TFakeTransfer>(state); };
    env.SystemDir = L"C:\\Windows\\System32";
    env.ProbeTarget = "127.0.0.1";
    env.AccountHost = L"127.0.0.1:18931";
    env.VersionNumber = 6;
    return env;
  }

  // Creates the connector, sets its window, and waits until both permanent threads sleep.
  std::unique_ptr<TConnector> Create() {
    auto connector = std::make_unique<TConnector>(Env());
    connector->SetFormHandle(kTestWindow);
    Clock.WaitSleeping(kPermanentThreads);
    return connector;
  }

  TFakeClock Clock;
  TRecordingNotifier Notifier;
  TScriptedRunner Runner;
  TFakeProbe Probe;
  std::shared_ptr<TFakeTransferState> Transfer = std::make_shared<TFakeTransferState>();
};

}  // namespace velmora::testing
