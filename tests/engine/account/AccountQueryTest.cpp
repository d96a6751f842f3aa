// The account query end to end: a TConnector with the real HTTP transfer asks the stand-in
// account server, which logs the raw requests; virtual time drives the daily deadline.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "StandInServer.h"
#include "TestServices.h"
#include "engine/ExeVersion.h"
#include "engine/uConnectorClass.h"
#include "net/SynDownload.h"

namespace velmora::account_test {
namespace {

constexpr uint32_t kDayMs = 86400000;
constexpr size_t kPermanentThreads = 2;  // the line watch and the account thread

// The account of accounts.txt beside this file: a Cyrillic login and a password holding
// "&", "#" and a blank, all sent unencoded.
const std::wstring kLogin = L"Иван";
const std::wstring kPassword = L"a&b #c";
const TUserInfo kAnswer = {L"0",        L"20002",   L"Иванов Иван Иванович",
                           L"Турбо 50", L"-3.50",   L"01.02.2027",
                           L"1024",     L"активен", L"0",
                           L"50",       L"50",      L"12",
                           L"345"};

// The number the program sends as "ver": on Windows from this test program's own version
// record, stamped 1.0.0.5 like the program; natively from a record of the same four numbers.
int64_t ProgramVersionNumber() {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return GetExeVersion(path).Number;
#else
  return MakeExeVersion(0x00010000, 0x00000005).Number;
#endif
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TUserInfo WithStatus(const std::wstring& status) {
  TUserInfo info = kAnswer;
  info[ufErrorCode] = status;
  return info;
}

class AccountQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FServer.Load()) << FServer.Error();
    ASSERT_TRUE(FServer.Control("mode=normal\nupdate=off\n"));
    FLogStart = FServer.LogSize();
  }

  // A connector as the window creates it, with saved credentials; nothing has run yet.
  std::unique_ptr<TConnector> Create(const std::wstring& password = kPassword) {
    TConnectorEnv env;
    env.Clock = &FClock;
    env.Notifier = &FNotifier;
    env.Runner = &FRunner;
    env.Probe = &FProbe;
    env.MakeTransfer = [calls = FQueries] { return std::make_unique<TCountedTransfer>(calls); };
    env.SystemDir = L"C:\\Windows\\System32";
    env.ProbeTarget = "127.0.0.1";
    env.AccountHost = FServer.Host();
    env.VersionNumber = ProgramVersionNumber();
    auto connector = std::make_unique<TConnector>(env);
    connector->SetFormHandle(1);
    connector->SetLogin(kLogin);
    connector->SetPassword(password);
    EXPECT_TRUE(FClock.WaitSleeping(kPermanentThreads));
    return connector;
  }

  // One second of virtual time: every pass it allows runs, its query included.
  void PassOneSecond() {
    FClock.Advance(1000);
    ASSERT_TRUE(FClock.WaitSleeping(kPermanentThreads));
  }

  // What the refresh button does, and the pass that follows.
  void Refresh(TConnector& connector) {
    connector.SetNextUserAccountCheck(FClock.Ticks());
    PassOneSecond();
  }

  int Queries() const { return FQueries->load(); }

  TStandInServer FServer;
  size_t FLogStart = 0;
  TVirtualClock FClock;
  TCountingNotifier FNotifier;
  TSilentRunner FRunner;
  TNoEcho FProbe;
  std::shared_ptr<std::atomic<int>> FQueries = std::make_shared<std::atomic<int>>(0);
};

TEST_F(AccountQuery, SendsHeadThenGetAsAnsiWithTheSpecialsEncodedAndStoresTheAnswer) {
  auto connector = Create();
  PassOneSecond();  // the first pass finds the deadline 0 due

  EXPECT_EQ(Queries(), 1);
  EXPECT_EQ(connector->UserInfo(), kAnswer);
  EXPECT_EQ(connector->NextUserAccountCheck(), FClock.Ticks() + kDayMs);
  EXPECT_GT(FNotifier.AccountInfoCount(), 0u);

  // "Иван" in code page 1251; "&", "#" and the blank percent-encoded; 1.0.0.5 sends 6.
  const std::string target =
      "/connector/connector.php?user=\xC8\xE2\xE0\xED&pass=a%26b%20%23c&ver=6";
  const std::string host = "Host: 127.0.0.1:" + std::to_string(FServer.Port()) + "\r\n";
  const std::vector<TLoggedRequest> requests = FServer.RequestsSince(FLogStart);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Bytes, "HEAD " + target + " HTTP/1.0\r\n" + host +
                                   "Keep-Alive: 300\r\n"
                                   "Connection: keep-alive\r\n"
                                   "User-Agent: Mozilla/4.0 (compatible; Synapse)\r\n"
                                   "\r\n");
  EXPECT_EQ(requests[1].Bytes, "GET " + target + " HTTP/1.1\r\n" + host +
                                   "Keep-Alive: 300\r\n"
                                   "Connection: keep-alive\r\n"
                                   "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64; rv:19.0) "
                                   "Gecko/20100101 Firefox/19.0\r\n"
                                   "\r\n");
  EXPECT_NE(requests[0].Connection, requests[1].Connection) << "the HEAD has its own connection";
}

TEST_F(AccountQuery, ServerDownEmptiesOnlyTheStatusAndTheNextQueryComesADayLater) {
  auto connector = Create();
  PassOneSecond();
  ASSERT_EQ(connector->UserInfo(), kAnswer);

  ASSERT_TRUE(FServer.Control("mode=down\n"));
  const size_t logWhileDown = FServer.LogSize();
  Refresh(*connector);
  EXPECT_EQ(Queries(), 2);
  EXPECT_EQ(connector->UserInfo(), WithStatus(L""));
  const uint32_t failedAt = FClock.Ticks();
  EXPECT_EQ(connector->NextUserAccountCheck(), failedAt + kDayMs) << "no earlier retry";

  ASSERT_TRUE(FServer.Control("mode=normal\n"));
  FClock.Advance(kDayMs - 1);  // one pass just before the deadline
  ASSERT_TRUE(FClock.WaitSleeping(kPermanentThreads));
  EXPECT_EQ(Queries(), 2);
  EXPECT_EQ(connector->UserInfo(), WithStatus(L""));

  PassOneSecond();  // the first pass past the deadline
  EXPECT_EQ(Queries(), 3);
  EXPECT_EQ(connector->UserInfo(), kAnswer);
  EXPECT_EQ(FServer.RequestsSince(logWhileDown).size(), 2u)
      << "nothing reached the server while it was down; then one HEAD and one GET";
}

TEST_F(AccountQuery, BrokenAnswersThroughTheRealTransfer) {
  struct TCase {
    const char* Name;
    const char* Control;
    std::wstring Status;  // ufErrorCode afterwards; the other fields keep their values
  };
  const TCase cases[] = {
      {"connection reset", "mode=reset\n", L""},
      // Not HTTP: the bytes up to the close are the answer; without a "|" all of it lands in
      // the status field, decoded from code page 1251.
      {"garbage", "mode=garbage\n", std::wstring(1, L'\0') + L"яю<<garbage, not HTTP>>Џђ\r\n"},
      {"answer again", "mode=normal\n", L"0"},
  };
  auto connector = Create();
  PassOneSecond();
  ASSERT_EQ(connector->UserInfo(), kAnswer);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(FServer.Control(c.Control));
    Refresh(*connector);
    EXPECT_EQ(connector->UserInfo(), WithStatus(c.Status));
    EXPECT_EQ(connector->NextUserAccountCheck(), FClock.Ticks() + kDayMs);
  }
}

TEST_F(AccountQuery, WrongPasswordGetsTheServersErrorCodeAndEmptyFields) {
  auto connector = Create(L"a&b #");
  PassOneSecond();
  EXPECT_EQ(Queries(), 1);
  TUserInfo refused;
  refused[ufErrorCode] = L"1";
  EXPECT_EQ(connector->UserInfo(), refused);
}

TEST_F(AccountQuery, AnnouncedUpdateKeepsTheOtherFieldsAndItsDownloadArrivesWhole) {
  auto connector = Create();
  PassOneSecond();
  ASSERT_EQ(connector->UserInfo(), kAnswer);

  ASSERT_TRUE(FServer.Control("update=on\n"));
  Refresh(*connector);
  const std::wstring url =
      L"http://127.0.0.1:" + std::to_wstring(FServer.Port()) + L"/download/Ostrada.exe";
  TUserInfo announced = WithStatus(L"3");
  announced[ufContract] = url;
  EXPECT_EQ(connector->UserInfo(), announced);

  const std::filesystem::path served = std::filesystem::path(FServer.Dir()) / "Ostrada.exe";
  const std::filesystem::path target = std::filesystem::path(FServer.Dir()) / "downloaded.exe";
  TSynDownload download;
  download.URLToFile(connector->UserInfo()[ufContract], target.wstring());
  const std::string expected = ReadBytes(served);
  EXPECT_GT(expected.size(), 100000u);
  EXPECT_TRUE(ReadBytes(target) == expected) << "the download differs from the served file";
}

TEST_F(AccountQuery, DestroyDuringASlowAnswerReturnsPromptly) {
  auto connector = Create();
  ASSERT_TRUE(FServer.Control("mode=slow\ndelay=60\n"));
  FClock.Advance(1000);  // the first pass starts its query; the server holds the HEAD
  ASSERT_TRUE(FServer.WaitRequests(FLogStart, 1));

  const auto started = std::chrono::steady_clock::now();
  connector.reset();
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_LT(took, std::chrono::seconds(20)) << "the server would have held it for 60 s";
  EXPECT_EQ(FServer.RequestsSince(FLogStart).size(), 1u) << "no GET after the cancelled HEAD";
}

}  // namespace
}  // namespace velmora::account_test
