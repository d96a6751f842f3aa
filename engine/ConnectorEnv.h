// What the connector needs of the platform, one small interface each. The Windows build
// fills TConnectorEnv with the real services (PlatformConnectorEnv); native tests with fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/StopSignal.h"

namespace velmora {

// The system's millisecond uptime counter and the waits of the connector's threads.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual uint32_t Ticks() = 0;
  // Waits ms milliseconds; returns false at once when stop is set (before or during the wait).
  virtual bool Sleep(uint32_t ms, const TStopSignal& stop) = 0;
};

// Delivers a notification code to a window: PostMessageW(window, WM_CONNECTOR, code, 0).
class INotifier {
 public:
  virtual ~INotifier() = default;
  virtual void Post(uintptr_t window, uint32_t code) = 0;
};

// One chunk of a console program's output: zero-terminated 8-bit text in the ANSI code page,
// 0 to 2400 bytes, valid only during the call.
using TConsoleOutputProc = std::function<void(const char* chunk)>;

// Runs a console program hidden and hands its output over chunk by chunk (RunConsoleCommand).
class IConsoleRunner {
 public:
  virtual ~IConsoleRunner() = default;
  // stop, when set, ends the program and returns promptly.
  virtual void Run(const std::wstring& command, const std::wstring& params,
                   const TConsoleOutputProc& onChunk, const TStopSignal* stop) = 0;
};

// One ICMP echo (PingHost): true when the platform reported no error for it.
class IProbe {
 public:
  virtual ~IProbe() = default;
  virtual bool PingHost(const std::string& target) = 0;
};

// The account query's HTTP GET (TSynDownload::URLToString): the body decoded from the ANSI
// code page, empty when the exchange failed.
class ITextTransfer {
 public:
  virtual ~ITextTransfer() = default;
  virtual std::wstring URLToString(const std::wstring& url) = 0;
  // May be called from another thread: ends a running exchange promptly (it then fails).
  virtual void Cancel() = 0;
};

struct TConnectorEnv {
  IClock* Clock = nullptr;
  INotifier* Notifier = nullptr;
  IConsoleRunner* Runner = nullptr;
  IProbe* Probe = nullptr;
  std::function<std::unique_ptr<ITextTransfer>()> MakeTransfer;
  std::wstring SystemDir;     // the system folder, where the dialer lives
  std::string ProbeTarget;    // the line check's echo target
  std::wstring AccountHost;   // host[:port] of the account server
  int64_t VersionNumber = 0;  // ExeVersion.Number, sent as "ver"
};

// The real services of the platform (Windows build only).
TConnectorEnv PlatformConnectorEnv();

}  // namespace velmora
