// The dial and hang-up threads: notification order, the dialer's output behind csDial, the
// line-check deadline around a run, a run that throws, and the cooperative stop of a running
// dial.
#include "engine/uConnectorClass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "base/CodePage.h"
#include "engine/DialCredentials.h"
#include "engine/Rasphone.h"
#include "engine/Ticks.h"
#include "tests/engine/fakes/FakeEnv.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using testing::kPermanentThreads;
using testing::kRealTimeBound;
using testing::kTestDialer;
using testing::TDialerRun;
using testing::TFakeEnv;
using TEvent = testing::TScriptedRunner::TEvent;

const std::string kSuccess =
    "Connecting to Tarvolix...\r\nVerifying username and password...\r\n"
    "Registering your computer on the network...\r\nSuccessfully connected to Tarvolix.\r\n"
    "Command completed successfully.\r\n";
const std::string kDenied =
    "Connecting to Tarvolix...\r\nVerifying username and password...\r\n\r\n"
    "Remote Access error 691 - The remote connection was denied.\r\n\r\n"
    "For more help on this error:\r\n        Type 'hh netcfg.chm'\r\n"
    "        In help, click Troubleshooting, then Error Messages, then 691\r\n";
const std::string kHungUp = "Command completed successfully.\r\n";

class ConnectorDial : public ::testing::Test {
 protected:
  void SetUp() override {
    Fake.Runner.Script(TDialerRun::Dial, {kSuccess});
    Fake.Runner.Script(TDialerRun::HangUp, {kHungUp});
  }

  TFakeEnv Fake;
};

TEST_F(ConnectorDial, ASecondConnectWhileADialRunsIsRefusedAndANewOneAfterItsEndAccepted) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Dial);
  EXPECT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));
  EXPECT_FALSE(connector->Connect());
  Fake.Runner.Release(TDialerRun::Dial);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  // The handle is cleared before cnDialDone, so a Connect on the notification succeeds.
  EXPECT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 2));
  EXPECT_EQ(Fake.Notifier.DialCodes(),
            (std::vector<uint32_t>{cnDialStarted, cnDialDone, cnDialStarted, cnDialDone}));
  EXPECT_EQ(Fake.Runner.Started(TDialerRun::Dial), 2);
}

TEST_F(ConnectorDial, AHangUpAskedForDuringADialRunsAfterIt) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Dial);
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));
  EXPECT_TRUE(connector->Disconnect());
  EXPECT_FALSE(connector->Disconnect());
  Fake.Runner.Release(TDialerRun::Dial);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnHangUp, 1));
  EXPECT_EQ(Fake.Notifier.DialCodes(),
            (std::vector<uint32_t>{cnDialStarted, cnDialDone, cnHangUp}));
  EXPECT_EQ(Fake.Runner.DialEvents(), (std::vector<TEvent>{{TDialerRun::Dial, true},
                                                           {TDialerRun::Dial, false},
                                                           {TDialerRun::HangUp, true},
                                                           {TDialerRun::HangUp, false}}));
  EXPECT_EQ(connector->ConsoleOutput(), AnsiToWide(kHungUp));
}

TEST_F(ConnectorDial, ADialAskedForDuringAHangUpStartsAfterIt) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::HangUp);
  ASSERT_TRUE(connector->Disconnect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::HangUp, 1));
  EXPECT_TRUE(connector->Connect());
  Fake.Runner.Release(TDialerRun::HangUp);
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  EXPECT_EQ(Fake.Notifier.DialCodes(),
            (std::vector<uint32_t>{cnHangUp, cnDialStarted, cnDialDone}));
  EXPECT_EQ(Fake.Runner.DialEvents(), (std::vector<TEvent>{{TDialerRun::HangUp, true},
                                                           {TDialerRun::HangUp, false},
                                                           {TDialerRun::Dial, true},
                                                           {TDialerRun::Dial, false}}));
}

TEST_F(ConnectorDial, AFailedDialPostsHangUpBetweenStartAndDone) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Chunks;
    std::vector<uint32_t> Codes;
  };
  const std::vector<TCase> cases = {
      {"connected", {kSuccess}, {cnDialStarted, cnDialDone}},
      {"credentials refused", {kDenied}, {cnDialStarted, cnHangUp, cnDialDone}},
      {"dialer could not be started", {}, {cnDialStarted, cnHangUp, cnDialDone}},
      {"error in the last of two bursts",
       {"Connecting to Tarvolix...\r\n", "Remote Access error 678 - no answer.\r\n"},
       {cnDialStarted, cnHangUp, cnDialDone}},
      {"error number outside 600..800",
       {"Remote Access error 815 - The broadband connection failed.\r\n"},
       {cnDialStarted, cnDialDone}},
  };
  for (const TCase& c : cases) {
    TFakeEnv fake;
    fake.Runner.Script(TDialerRun::Dial, c.Chunks);
    auto connector = fake.Create();
    ASSERT_TRUE(connector->Connect());
    ASSERT_TRUE(fake.Notifier.WaitCount(cnDialDone, 1)) << c.Name;
    EXPECT_EQ(fake.Notifier.DialCodes(), c.Codes) << c.Name;
  }
}

TEST_F(ConnectorDial, TheDialerGetsTheEntryLoginAndPasswordOnItsCommandLine) {
  auto connector = Fake.Create();
  connector->SetLogin(L"abonent 7");
  connector->SetPassword(L"p&ss#word");
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  ASSERT_TRUE(connector->Disconnect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnHangUp, 1));
  EXPECT_EQ(Fake.Runner.Commands(),
            (std::vector<std::wstring>{DialCommandLine(kTestDialer, L"abonent 7", L"p&ss#word"),
                                       HangUpCommandLine(kTestDialer)}));
  EXPECT_EQ(Fake.Runner.Params(), (std::vector<std::wstring>{L"", L""}));
}

TEST_F(ConnectorDial, ACredentialTakenForASwitchRunsNoDialerAndEndsAsAFailedDial) {
  struct TCase {
    std::wstring Login;
    std::wstring Password;
  };
  const std::vector<TCase> cases = {
      {L"/PHONEBOOK:C:\\Users\\Public\\x.pbk", L"secret"},
      {L"user01", L"/PHONEBOOK:C:\\Users\\Public\\x.pbk"},
      {L" /PREFIXSUFFIX", L"/x"},
  };
  for (const TCase& c : cases) {
    TFakeEnv fake;
    fake.Runner.Script(TDialerRun::Dial, {kSuccess});
    auto connector = fake.Create();
    connector->SetLogin(c.Login);
    connector->SetPassword(c.Password);
    ASSERT_TRUE(connector->Connect());
    ASSERT_TRUE(fake.Notifier.WaitCount(cnDialDone, 1));
    EXPECT_EQ(fake.Notifier.DialCodes(),
              (std::vector<uint32_t>{cnDialStarted, cnHangUp, cnDialDone}));
    EXPECT_EQ(fake.Runner.Started(TDialerRun::Dial), 0);
    EXPECT_EQ(connector->ConsoleOutput(), *DialRefusal(c.Login, c.Password));
    // The connector goes on: a plain login dials.
    connector->SetLogin(L"user01");
    connector->SetPassword(L"secret");
    ASSERT_TRUE(connector->Connect());
    ASSERT_TRUE(fake.Notifier.WaitCount(cnDialDone, 2));
    EXPECT_EQ(fake.Runner.Commands().back(), DialCommandLine(kTestDialer, L"user01", L"secret"));
    EXPECT_EQ(connector->ConsoleOutput(), AnsiToWide(kSuccess));
  }
}

TEST_F(ConnectorDial, ADialThatThrowsIsRecordedAndStillEndsAsADialEnds) {
  Fake.Runner.Throw(TDialerRun::Dial);
  auto connector = Fake.Create();
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  // Recorded at the thread's top, once its final block has posted cnDialDone.
  auto faultsReach = [&](uint32_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kRealTimeBound;
    while (connector->ThreadFaults() < count && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(1ms);
    return connector->ThreadFaults() == count;
  };
  ASSERT_TRUE(faultsReach(1));
  EXPECT_EQ(connector->LastThreadFault(), "scripted runner failure");
  EXPECT_EQ(Fake.Notifier.DialCodes(), (std::vector<uint32_t>{cnDialStarted, cnDialDone}));
  EXPECT_EQ(connector->NextPingCheck(), DeadlineAfter(Fake.Clock.Ticks(), 1000));
  // The handle was cleared and csDial left: a hang-up and a new dial run.
  Fake.Runner.Script(TDialerRun::HangUp, {kHungUp});
  ASSERT_TRUE(connector->Disconnect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnHangUp, 1));
  EXPECT_EQ(connector->ConsoleOutput(), AnsiToWide(kHungUp));
  EXPECT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 2));
  EXPECT_TRUE(faultsReach(2));
}

TEST(ConnectorDialerPath, IsRasdialInTheSystemFolder) {
  struct TCase {
    std::wstring SystemDir;
    std::wstring Dialer;
  };
  const std::vector<TCase> cases = {
      {L"C:\\Windows\\system32", L"C:\\Windows\\system32\\rasdial.exe"},
      {L"C:\\Windows\\system32\\", L"C:\\Windows\\system32\\rasdial.exe"},
      {L"D:\\WINNT\\System32", L"D:\\WINNT\\System32\\rasdial.exe"},
      {L"", L"\\rasdial.exe"},
  };
  for (const TCase& c : cases) {
    TFakeEnv fake;
    TConnectorEnv env = fake.Env();
    env.SystemDir = c.SystemDir;
    TConnector connector(env);
    EXPECT_EQ(connector.RASPhoneFilename(), c.Dialer) << c.SystemDir;
  }
}

TEST_F(ConnectorDial, ConsoleOutputWaitsUntilTheRunningDialEnds) {
  Fake.Runner.Script(TDialerRun::Dial, {kDenied});
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Dial);
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));
  auto output = std::async(std::launch::async, [&] { return connector->ConsoleOutput(); });
  // It cannot return while the dial holds csDial.
  EXPECT_EQ(output.wait_for(50ms), std::future_status::timeout);
  Fake.Runner.Release(TDialerRun::Dial);
  ASSERT_EQ(output.wait_for(kRealTimeBound), std::future_status::ready);
  EXPECT_EQ(output.get(), AnsiToWide(kDenied));
}

TEST_F(ConnectorDial, ARunKeepsOnlyItsLastChunkAndASilentRunThePreviousRunsText) {
  Fake.Runner.Script(TDialerRun::HangUp,
                     {"first burst\r\n", "Command completed successfully.\r\n"});
  Fake.Runner.Script(TDialerRun::Dial, {});
  auto connector = Fake.Create();
  ASSERT_TRUE(connector->Disconnect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnHangUp, 1));
  EXPECT_EQ(connector->ConsoleOutput(), L"Command completed successfully.\r\n");
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  EXPECT_EQ(connector->ConsoleOutput(), L"Command completed successfully.\r\n");
  EXPECT_EQ(LastConsoleOutput(), L"Command completed successfully.\r\n");
}

TEST_F(ConnectorDial, CyrillicOutputReachesConsoleOutputAsTheSameText) {
  const std::wstring russian =
      L"Ошибка удаленного доступа 691 - Доступ запрещен.\r\nКоманда успешно выполнена.\r\n";
  Fake.Runner.Script(TDialerRun::Dial, {WideToAnsi(russian)});
  auto connector = Fake.Create();
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  EXPECT_EQ(connector->ConsoleOutput(), russian);
  EXPECT_EQ(GetRasphoneErrorCode(connector->ConsoleOutput()), 691);
}

TEST_F(ConnectorDial, ARunHoldsLineChecksOffAndAsksForOneASecondAfterItsEnd) {
  // At cnDialStarted the deadline already holds checks off.
  std::promise<uint32_t> heldDeadline;
  TConnector* watched = nullptr;
  Fake.Notifier.OnPost = [&](uint32_t code) {
    if (code == cnDialStarted)
      heldDeadline.set_value(watched->NextPingCheck());
  };
  auto connector = Fake.Create();
  watched = connector.get();
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Notifier.WaitCount(cnDialDone, 1));
  EXPECT_EQ(heldDeadline.get_future().get(), kHoldOff);
  EXPECT_EQ(connector->NextPingCheck(), DeadlineAfter(Fake.Clock.Ticks(), 1000));
}

TEST_F(ConnectorDial, DestroyDuringADialEndsTheDialerAndNothingIsPostedAfterIt) {
  auto connector = Fake.Create();
  Fake.Runner.Hold(TDialerRun::Dial);
  ASSERT_TRUE(connector->Connect());
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));
  ASSERT_TRUE(connector->Disconnect());  // waits for csDial
  auto destroyed = std::async(std::launch::async, [&] { connector.reset(); });
  ASSERT_EQ(destroyed.wait_for(3s), std::future_status::ready);
  const std::vector<uint32_t> atDestroy = Fake.Notifier.Codes();
  EXPECT_EQ(atDestroy, (std::vector<uint32_t>{cnDialStarted}));
  EXPECT_EQ(Fake.Runner.StoppedRuns(), 1);
  EXPECT_EQ(Fake.Runner.Started(TDialerRun::HangUp), 0);  // destroying never hangs up
  // The clock moving on wakes no thread: none is left.
  Fake.Clock.Advance(60000);
  EXPECT_TRUE(Fake.Clock.WaitSleeping(0));
  EXPECT_EQ(Fake.Notifier.Codes(), atDestroy);
}

TEST_F(ConnectorDial, NotificationsGoToTheWindowSetLatestAndNowhereWithoutOne) {
  auto connector = Fake.Create();
  connector->SetFormHandle(0);
  ASSERT_TRUE(connector->Connect());
  // Without a window nothing is posted; the run still ends and clears its handle.
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 1));
  while (!connector->Connect())
    std::this_thread::yield();
  ASSERT_TRUE(Fake.Runner.WaitStarted(TDialerRun::Dial, 2));
  connector.reset();
  EXPECT_TRUE(Fake.Notifier.Codes().empty());

  TFakeEnv other;
  other.Runner.Script(TDialerRun::Dial, {kSuccess});
  auto second = other.Create();
  second->SetFormHandle(0x777);
  ASSERT_TRUE(second->Connect());
  ASSERT_TRUE(other.Notifier.WaitCount(cnDialDone, 1));
  EXPECT_EQ(other.Notifier.Windows(), (std::vector<uintptr_t>{0x777, 0x777}));
}

}  // namespace
}  // namespace velmora
