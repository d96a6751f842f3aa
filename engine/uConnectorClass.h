// The connection engine's one object. It holds the subscriber's credentials, runs the dialer
// on threads of its own, watches the line, asks the account server, and tells one window
// about every outcome by posting a code; the window then reads the result via a property.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/ConnectorEnv.h"
#include "engine/CriticalSection.h"
#include "base/WindowMessages.h"
#include "engine/StopSignal.h"
#include "engine/Thread.h"

namespace velmora {

// The notification codes of WM_CONNECTOR (base/WindowMessages.h).
enum TConnectorNotification : uint32_t {
  cnLineChecked = 16,
  cnAccountInfo = 32,
  cnHangUp = 48,
  cnDialDone = 64,
  cnDialStarted = 80,
};

// The account server's answer: 13 texts, all empty before the first answer.
enum TUserFields : uint8_t {
  ufErrorCode,
  ufContract,
  ufName,
  ufTariff,
  ufBalance,
  ufDate,
  ufTraffic,
  ufState,
  ufPromisePay,
  ufCurrentSpeed,
  ufSpeedLimit,
  ufTrafficToday,
  ufTrafficMounth,
};
inline constexpr size_t kUserFieldCount = 13;
using TUserInfo = std::array<std::wstring, kUserFieldCount>;

// Module-level locks, shared by all connectors; the only nesting is csDial before csAccount.
extern TCriticalSection csDial;     // a dial or hang-up run; guards FBuffer
extern TCriticalSection csAccount;  // credentials, account answer and its deadline
extern TCriticalSection csPing;     // a whole line check; line state and its deadline
// Whether the last chunk of the last listing named the provider's entry (line-watch thread).
extern std::atomic<bool> EntryListed;

class TConnector {
 public:
  TConnector();  // with the platform's services (Windows build)
  explicit TConnector(const TConnectorEnv& env);
  ~TConnector();  // Destroy: stops the threads cooperatively; never hangs up the line
  TConnector(const TConnector&) = delete;
  TConnector& operator=(const TConnector&) = delete;

  // Start the dial / hang-up thread; false when one of that kind is already running.
  bool Connect();
  bool Disconnect();
  // Runs the dialer's listing and sets EntryListed (line-watch thread only).
  void CheckConnection();

  uintptr_t FormHandle() const { return FTargetFormHandle.load(); }
  void SetFormHandle(uintptr_t handle) { FTargetFormHandle.store(handle); }
  bool PingStatus() const;
  std::wstring Login() const;
  void SetLogin(const std::wstring& value);
  std::wstring Password() const;
  void SetPassword(const std::wstring& value);
  TUserInfo UserInfo() const;
  // Copies UserInfo into info only when it changed since the copy that left seen behind (0 for
  // none yet, the empty fields): a window that looks every second copies the 13 texts only
  // after a new answer. True when it copied.
  bool UserInfoIfChanged(uint64_t& seen, TUserInfo& info) const;
  uint32_t NextUserAccountCheck() const;
  void SetNextUserAccountCheck(uint32_t value);
  uint32_t NextPingCheck() const;
  void SetNextPingCheck(uint32_t value);
  std::wstring ConsoleOutput() const;

  const std::wstring& RASPhoneFilename() const { return FRASPhoneFilename; }

  // What was thrown on the connector's threads and caught at their top: how often, and the
  // last message. The threads go on after it.
  uint32_t ThreadFaults() const { return FThreadFaults.load(); }
  std::string LastThreadFault() const;

 private:
  friend uint32_t DialThreadProc(TConnector* self);
  friend uint32_t BreakLineThreadProc(TConnector* self);
  friend uint32_t PingThreadProc(TConnector* self);
  friend uint32_t UserInfoThreadProc(TConnector* self);
  friend bool LineWatchPass(TConnector* self);
  friend bool AccountPass(TConnector* self);

  void Post(uint32_t code);
  // Runs body; anything it throws is recorded instead of ending the thread. False after a throw.
  template <typename TBody>
  bool Guarded(TBody body) noexcept;
  void RecordFault(const char* what) noexcept;
  // A dial's or hang-up's run: csDial held, the line watch held off and the output emptied
  // while body runs; at the end, however it ends, the thread's handle closed, the next line
  // check a second away and closingCode posted in the order the runs ran.
  template <typename TBody>
  void DialerRun(std::atomic<TThreadHandle>& thread, uint32_t closingCode, TBody body);

  TConnectorEnv FEnv;
  TStopSignal FStop;
  TThreadGroup FThreads;  // every thread this connector started, for the cooperative stop

  std::unique_ptr<ITextTransfer> FSynDL;
  std::atomic<TThreadHandle> FThreadDial{0};
  std::atomic<TThreadHandle> FThreadBreakLine{0};
  TThreadHandle FThreadUserInfo = 0;
  TThreadHandle FThreadPing = 0;
  bool FPingStatus = false;
  std::atomic<uintptr_t> FTargetFormHandle{0};
  std::wstring FLogin;
  std::wstring FPassword;
  TUserInfo FUserInfo;
  std::atomic<uint64_t> FUserInfoGeneration{0};  // raised under csAccount at every change
  uint32_t FNextUserAccountCheck = 0;
  std::atomic<uint32_t> FNextPingCheck{0};
  std::wstring FRASPhoneFilename;
  std::wstring FBuffer;
  std::atomic<uint32_t> FThreadFaults{0};
  mutable std::mutex FFaultLock;
  std::string FLastThreadFault;
};

}  // namespace velmora
