// TConnector: the dial and hang-up threads, the line watch, the account thread, their
// properties and locks, what they throw caught at their top, and the cooperative stop of all.
#include "engine/uConnectorClass.h"

#include <exception>
#include <mutex>
#include <utility>

#include "base/CodePage.h"
#include "engine/AccountInfo.h"
#include "engine/Rasphone.h"
#include "engine/Ticks.h"

namespace velmora {

// Created in this order at start-up, before any connector exists.
TCriticalSection csDial;
TCriticalSection csAccount;
TCriticalSection csPing;
std::atomic<bool> EntryListed{false};

namespace {
constexpr uint32_t kPollMs = 1000;                 // the permanent threads' look at their deadline
constexpr uint32_t kAfterDialMs = 1000;            // first line check after a dial or hang-up
constexpr uint32_t kLineCheckIntervalMs = 20000;   // from the end of one check to the next
constexpr uint32_t kAccountIntervalMs = 86400000;  // a day between automatic account queries
constexpr uint32_t kCancelRepeatMs = 50;

// Runs its action when the scope ends, whatever way it ends: the threads' final blocks.
template <typename TAction>
class TFinally {
 public:
  explicit TFinally(TAction action) : FAction(std::move(action)) {}
  ~TFinally() { FAction(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  TAction FAction;
};

// Taken by a dial or hang-up from leaving csDial until its closing code is posted, and by the
// next run before its first post: the window then learns of the runs in the order they ran.
std::mutex DialPostOrder;

std::wstring DialerPath(std::wstring systemDir) {
  if (systemDir.empty() || systemDir.back() != L'\\')
    systemDir += L'\\';
  return systemDir + L"rasdial.exe";
}
}  // namespace

uint32_t DialThreadProc(TConnector* self);
uint32_t BreakLineThreadProc(TConnector* self);
uint32_t PingThreadProc(TConnector* self);
uint32_t UserInfoThreadProc(TConnector* self);
bool LineWatchPass(TConnector* self);
bool AccountPass(TConnector* self);

TConnector::TConnector(const TConnectorEnv& env) : FEnv(env) {
  FRASPhoneFilename = DialerPath(FEnv.SystemDir);
  FNextUserAccountCheck = kDueNow;
  FNextPingCheck = kDueNow;
  if (FEnv.MakeTransfer)
    FSynDL = FEnv.MakeTransfer();
  FThreadPing = FThreads.Start([this] { Guarded([this] { PingThreadProc(this); }); });
  FThreadUserInfo = FThreads.Start([this] { Guarded([this] { UserInfoThreadProc(this); }); });
}

// No thread is killed: every wait ends on FStop, a running dialer is ended through the same
// signal, and a running account query is cancelled (again until it notices, since it may
// begin just after a cancel). The line is left as it is.
TConnector::~TConnector() {
  FStop.Set();
  while (!FThreads.WaitAll(kCancelRepeatMs)) {
    if (FSynDL)
      FSynDL->Cancel();
  }
  FThreads.JoinAll();
  CloseThreadHandle(FThreadPing);
  CloseThreadHandle(FThreadUserInfo);
}

bool TConnector::Connect() {
  if (FThreadDial.load() != 0)
    return false;
  FThreads.Start([this] { Guarded([this] { DialThreadProc(this); }); }, &FThreadDial);
  return true;
}

bool TConnector::Disconnect() {
  if (FThreadBreakLine.load() != 0)
    return false;
  FThreads.Start([this] { Guarded([this] { BreakLineThreadProc(this); }); }, &FThreadBreakLine);
  return true;
}

void TConnector::CheckConnection() {
  FEnv.Runner->Run(
      ListingCommandLine(FRASPhoneFilename), L"",
      [](const char* chunk) { EntryListed = ListingNamesEntry(AnsiToWide(chunk)); }, &FStop);
}

// Nothing is posted once the connector is being destroyed, nor to no window at all.
void TConnector::Post(uint32_t code) {
  const uintptr_t window = FTargetFormHandle.load();
  if (window == 0 || FStop.IsSet())
    return;
  FEnv.Notifier->Post(window, code);
}

template <typename TBody>
bool TConnector::Guarded(TBody body) noexcept {
  try {
    body();
    return true;
  } catch (const std::exception& error) {
    RecordFault(error.what());
  } catch (...) {
    RecordFault("unknown exception");
  }
  return false;
}

void TConnector::RecordFault(const char* what) noexcept {
  FThreadFaults.fetch_add(1);
  try {
    std::lock_guard lock(FFaultLock);
    FLastThreadFault = what;
  } catch (...) {
    // Only the count is kept when not even the message fits in memory.
  }
}

std::string TConnector::LastThreadFault() const {
  std::lock_guard lock(FFaultLock);
  return FLastThreadFault;
}

bool TConnector::PingStatus() const {
  TLock lock(csPing);
  return FPingStatus;
}

std::wstring TConnector::Login() const {
  TLock lock(csAccount);
  return FLogin;
}

void TConnector::SetLogin(const std::wstring& value) {
  TLock lock(csAccount);
  FLogin = value;
}

std::wstring TConnector::Password() const {
  TLock lock(csAccount);
  return FPassword;
}

void TConnector::SetPassword(const std::wstring& value) {
  TLock lock(csAccount);
  FPassword = value;
}

TUserInfo TConnector::UserInfo() const {
  TLock lock(csAccount);
  return FUserInfo;
}

bool TConnector::UserInfoIfChanged(uint64_t& seen, TUserInfo& info) const {
  if (FUserInfoGeneration.load() == seen)
    return false;
  TLock lock(csAccount);
  info = FUserInfo;
  seen = FUserInfoGeneration.load();
  return true;
}

uint32_t TConnector::NextUserAccountCheck() const {
  TLock lock(csAccount);
  return FNextUserAccountCheck;
}

void TConnector::SetNextUserAccountCheck(uint32_t value) {
  TLock lock(csAccount);
  FNextUserAccountCheck = value;
}

uint32_t TConnector::NextPingCheck() const {
  TLock lock(csPing);
  return FNextPingCheck.load();
}

void TConnector::SetNextPingCheck(uint32_t value) {
  TLock lock(csPing);
  FNextPingCheck.store(value);
}

std::wstring TConnector::ConsoleOutput() const {
  TLock lock(csDial);
  return FBuffer;
}

template <typename TBody>
void TConnector::DialerRun(std::atomic<TThreadHandle>& thread, uint32_t closingCode, TBody body) {
  csDial.Enter();
  TFinally closing([this, &thread, closingCode] {
    CloseThreadHandle(thread.exchange(0));
    FNextPingCheck.store(DeadlineAfter(FEnv.Clock->Ticks(), kAfterDialMs));
    std::lock_guard order(DialPostOrder);
    csDial.Leave();
    Post(closingCode);
  });
  FNextPingCheck.store(kHoldOff);
  FBuffer.clear();
  body();
}

uint32_t DialThreadProc(TConnector* self) {
  self->DialerRun(self->FThreadDial, cnDialDone, [self] {
    {
      std::lock_guard order(DialPostOrder);
      self->Post(cnDialStarted);
    }
    std::wstring login;
    std::wstring password;
    {
      TLock account(csAccount);
      login = self->FLogin;
      password = self->FPassword;
    }
    // A run that got csDial only because the connector is going away starts no dialer.
    if (self->FStop.IsSet())
      return;
    if (!RunRasphone(*self->FEnv.Runner, self->FRASPhoneFilename, login, password, self->FBuffer,
                     &self->FStop)) {
      self->Post(cnHangUp);
    }
  });
  return 0;
}

uint32_t BreakLineThreadProc(TConnector* self) {
  self->DialerRun(self->FThreadBreakLine, cnHangUp, [self] {
    // Destroying the connector never hangs up the line, not even a hang-up still waiting.
    if (!self->FStop.IsSet())
      EndRasphone(*self->FEnv.Runner, self->FRASPhoneFilename, self->FBuffer, &self->FStop);
  });
  return 0;
}

// One look of the line watch at its deadline, and the check when it is due; false once the
// connector is going away.
bool LineWatchPass(TConnector* self) {
  IClock& clock = *self->FEnv.Clock;
  if (!IsDue(clock.Ticks(), self->FNextPingCheck.load()))
    return clock.Sleep(kPollMs, self->FStop);
  TLock ping(csPing);
  // Also after a check that threw, so a failing check is not repeated at once.
  TFinally next([self, &clock] {
    self->FNextPingCheck.store(DeadlineAfter(clock.Ticks(), kLineCheckIntervalMs));
  });
  self->CheckConnection();
  if (self->FStop.IsSet())
    return false;  // no echo for a connector that is going away
  const bool reachable = self->FEnv.Probe->PingHost(self->FEnv.ProbeTarget);
  self->FPingStatus = reachable && EntryListed.load();
  self->Post(cnLineChecked);
  return true;
}

uint32_t PingThreadProc(TConnector* self) {
  IClock& clock = *self->FEnv.Clock;
  if (!clock.Sleep(kPollMs, self->FStop))
    return 0;
  while (!self->FStop.IsSet()) {
    // A pass that threw has moved its deadline all the same, so it is not repeated at once.
    bool goOn = true;
    self->Guarded([self, &goOn] { goOn = LineWatchPass(self); });
    if (!goOn)
      break;
  }
  return 0;
}

// One pass of the account loop: a look at the deadline, and the query when it is due; false
// once the connector is going away. cnAccountInfo follows every pass, also one that threw.
bool AccountPass(TConnector* self) {
  IClock& clock = *self->FEnv.Clock;
  TFinally notify([self] { self->Post(cnAccountInfo); });
  uint32_t deadline;
  {
    TLock account(csAccount);
    deadline = self->FNextUserAccountCheck;
  }
  if (!IsDue(clock.Ticks(), deadline))
    return clock.Sleep(kPollMs, self->FStop);
  // A day ahead after every due pass, also one that threw: no query is repeated at once.
  TFinally next([self, &clock] {
    TLock account(csAccount);
    self->FNextUserAccountCheck = DeadlineAfter(clock.Ticks(), kAccountIntervalMs);
  });
  std::wstring login;
  std::wstring password;
  {
    TLock account(csAccount);
    login = self->FLogin;
    password = self->FPassword;
  }
  if (login.empty() || password.empty())
    return true;
  // No lock is held during the exchange; an absent transfer counts as a failed one.
  const std::wstring answer =
      self->FSynDL ? self->FSynDL->URLToString(AccountRequestUrl(
                         self->FEnv.AccountHost, login, password, self->FEnv.VersionNumber))
                   : std::wstring();
  if (self->FStop.IsSet())
    return false;  // a cancelled query is no answer
  TLock account(csAccount);
  if (StoreAccountAnswer(answer, self->FUserInfo))
    self->FUserInfoGeneration.fetch_add(1);
  return true;
}

uint32_t UserInfoThreadProc(TConnector* self) {
  IClock& clock = *self->FEnv.Clock;
  if (!clock.Sleep(kPollMs, self->FStop))
    return 0;
  while (!self->FStop.IsSet()) {
    // A pass that threw has moved its deadline all the same, so it is not repeated at once.
    bool goOn = true;
    self->Guarded([self, &goOn] { goOn = AccountPass(self); });
    if (!goOn)
      break;
  }
  return 0;
}

}  // namespace velmora
