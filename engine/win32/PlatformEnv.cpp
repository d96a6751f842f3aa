// The connector's real services on Windows: the uptime counter, posted window messages, the
// console runner, the ICMP probe and the account server's HTTP transfer.
#include <windows.h>

#include "BuildConfig.h"
#include "base/CodePage.h"
#include "engine/AccountTransfer.h"
#include "engine/ConnectorEnv.h"
#include "engine/ConsoleRunner.h"
#include "engine/ExeVersion.h"
#include "engine/PingHost.h"
#include "engine/SystemFolders.h"
#include "engine/uConnectorClass.h"

namespace velmora {

namespace {
class TSystemClock : public IClock {
 public:
  uint32_t Ticks() override { return GetTickCount(); }
  bool Sleep(uint32_t ms, const TStopSignal& stop) override { return !stop.WaitFor(ms); }
};

class TWindowNotifier : public INotifier {
 public:
  void Post(uintptr_t window, uint32_t code) override {
    PostMessageW(reinterpret_cast<HWND>(window), WM_CONNECTOR, code, 0);
  }
};

class TSystemRunner : public IConsoleRunner {
 public:
  void Run(const std::wstring& command, const std::wstring& params,
           const TConsoleOutputProc& onChunk, const TStopSignal* stop) override {
    RunConsoleCommand(command, params, onChunk, stop);
  }
};

class TIcmpProbe : public IProbe {
 public:
  bool PingHost(const std::string& target) override { return velmora::PingHost(target); }
};
}  // namespace

TConnectorEnv PlatformConnectorEnv() {
  // Stateless services, shared by every connector of the process.
  static TSystemClock clock;
  static TWindowNotifier notifier;
  static TSystemRunner runner;
  static TIcmpProbe probe;
  TConnectorEnv env;
  env.Clock = &clock;
  env.Notifier = &notifier;
  env.Runner = &runner;
  env.Probe = &probe;
  env.MakeTransfer = MakeAccountTransfer;
  env.SystemDir = SystemFolder();
  env.ProbeTarget = build::kProbeTarget;
  env.AccountHost = AnsiToWide(build::kAccountHost);
  env.VersionNumber = ExeVersion().Number;
  return env;
}

TConnector::TConnector() : TConnector(PlatformConnectorEnv()) {}

}  // namespace velmora
