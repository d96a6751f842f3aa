// The connection page's decisions: line-check rows with the redial bookkeeping, dial outcome,
// refresh limit and the update announcement.
#include "ui/ConnectionLogic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using Row = TLineCheckRow;

// What the subscriber did just before a report.
enum class TByHand { Nothing, HangUp, Dial };

struct TReport {
  uint32_t At;  // tick of the report
  bool Up;      // PingStatus
  Row Expected;
  TByHand Before = TByHand::Nothing;
};

struct TScenario {
  const char* Name;
  bool AutoReconnect;
  bool ConnectOnStart;  // as set at creation (automatic connection with credentials)
  TReconnectState Initial;
  std::vector<TReport> Reports;
};

constexpr uint32_t kStart = 1000000;
constexpr uint32_t kCheck = 20000;  // line-check interval
constexpr uint32_t kMinute = 60000;

std::vector<TReport> DownEvery20s(uint32_t from, int count, Row expected) {
  std::vector<TReport> reports;
  for (int i = 0; i < count; ++i)
    reports.push_back({from + i * kCheck, false, expected});
  return reports;
}

std::vector<TReport> Concat(std::vector<std::vector<TReport>> parts) {
  std::vector<TReport> all;
  for (auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::vector<TScenario>& Scenarios() {
  static const std::vector<TScenario> scenarios = {
      {"AutoConnectAndReconnectRedialOnFirstReport",
       true,
       true,
       {},
       {{kStart, false, Row::Redial}}},
      {"AutoConnectWithoutReconnectOnlyEnables",
       false,
       true,
       {},
       {{kStart, false, Row::Idle}, {kStart + kCheck, false, Row::Idle}}},
      {"ReconnectWithoutAutoConnectArmsFirst",
       true,
       false,
       {},
       {{kStart, false, Row::Arm}, {kStart + kCheck, false, Row::Redial}}},
      {"NeitherSettingArmsThenStaysIdle",
       false,
       false,
       {},
       {{kStart, false, Row::Arm}, {kStart + kCheck, false, Row::Idle}}},
      {"ThreeFailedAttemptsThenPauseThenThreeMore",
       true,
       true,
       {},
       Concat({{{kStart, false, Row::Redial},
                {kStart + 30000, false, Row::Redial},
                {kStart + 60000, false, Row::Redial}},
               // The pause runs from the first of these to 300 s later, whatever they say.
               DownEvery20s(kStart + 90000, 16, Row::Pause),
               {{kStart + 390001, false, Row::Redial}},
               DownEvery20s(kStart + 410001, 2, Row::Redial),
               DownEvery20s(kStart + 450001, 16, Row::Pause),
               {{kStart + 750002, false, Row::Redial}}})},
      {"AttemptsAddUpOverOutages",
       true,
       true,
       {},
       {{kStart, false, Row::Redial},
        {kStart + 30000, false, Row::Redial},
        {kStart + 60000, true, Row::Connected},
        {kStart + 6 * kMinute, false, Row::Redial},  // third attempt
        {kStart + 6 * kMinute + 30000, false, Row::Pause}}},
      {"ThirdAttemptSucceedsThenLossEntersPause",
       true,
       true,
       {},
       {{kStart, false, Row::Redial},
        {kStart + 30000, false, Row::Redial},
        {kStart + 60000, false, Row::Redial},
        {kStart + 90000, true, Row::Connected},
        {kStart + 10 * kMinute, false, Row::Pause}}},
      {"PauseEndsFiveMinutesAfterItBegan",
       true,
       true,
       {3, 0},
       {{kStart, false, Row::Pause},
        {kStart + 299000, true, Row::Connected},
        {kStart + 300000, false, Row::Pause},  // its last tick: not renewed
        {kStart + 300001, false, Row::Redial}}},
      {"ConnectedLeavesBookkeepingAlone",
       true,
       true,
       {2, 0},
       {{kStart, true, Row::Connected},
        {kStart + kCheck, false, Row::Redial},
        {kStart + 2 * kCheck, false, Row::Pause}}},
      {"PauseSetJustBeforeTheWrapHoldsAcrossIt",
       true,
       true,
       {3, 0},
       {{0xFFFFFFFFu - 1000, false, Row::Pause},
        {kCheck - 1000, false, Row::Pause},  // counter wrapped, pause still running
        {300000 - 1001, false, Row::Pause},  // its end, after the wrap
        {300000 - 1000, false, Row::Redial}}},
      {"PauseLongOverDoesNotComeBackAfterHalfACycle",
       true,
       true,
       {0, 5000},
       {{5000 + 0x80000010u, false, Row::Redial}}},
      {"NoPauseYetAtCounterZero", true, true, {}, {{0, false, Row::Redial}}},
      {"HangUpByHandThenLineDownNoDial",
       true,
       true,
       {},
       Concat({{{kStart, true, Row::Connected}, {kStart + 1000, false, Row::Idle, TByHand::HangUp}},
               DownEvery20s(kStart + 21000, 30, Row::Idle)})},
      {"DialByHandReArmsAfterAHangUp",
       true,
       true,
       {},
       {{kStart, true, Row::Connected},
        {kStart + 1000, false, Row::Idle, TByHand::HangUp},
        {kStart + 21000, true, Row::Connected, TByHand::Dial},
        {kStart + 41000, false, Row::Redial},  // a loss after the dial by hand
        {kStart + 71000, false, Row::Redial}}},
      {"FailedDialByHandIsFollowedByRedials",
       true,
       true,
       {},
       {{kStart, false, Row::Idle, TByHand::HangUp},
        {kStart + 21000, false, Row::Redial, TByHand::Dial}}},
      {"HangUpByHandDuringAPauseKeepsThePause",
       true,
       true,
       {3, 0},
       {{kStart, false, Row::Pause},
        {kStart + kCheck, false, Row::Idle, TByHand::HangUp},
        {kStart + 2 * kCheck, false, Row::Pause, TByHand::Dial},
        {kStart + 300001, false, Row::Redial}}},
      {"HangUpByHandWithoutArmingStillArms",
       true,
       false,
       {},
       {{kStart, false, Row::Arm, TByHand::HangUp}, {kStart + kCheck, false, Row::Idle}}},
  };
  return scenarios;
}

class LineCheckedScenario : public ::testing::TestWithParam<TScenario> {};

TEST_P(LineCheckedScenario, TakesTheExpectedRowForEveryReport) {
  const TScenario& s = GetParam();
  bool connectOnStart = s.ConnectOnStart;
  TReconnectState state = s.Initial;
  for (size_t i = 0; i < s.Reports.size(); ++i) {
    const TReport& r = s.Reports[i];
    if (r.Before == TByHand::HangUp)
      NoteHangUpByHand(state);
    if (r.Before == TByHand::Dial)
      NoteDialByHand(state);
    TLineCheckDecision d = DecideLineChecked(r.Up, s.AutoReconnect, r.At, connectOnStart, state);
    EXPECT_EQ(d.Row, r.Expected) << "report " << i << " at " << r.At;
    EXPECT_EQ(d.StartReconnectTimer, r.Expected == Row::Redial) << "report " << i;
  }
}

TEST(LineChecked, PauseIsSetOnceAndKeptByTheReportsDuringIt) {
  bool connectOnStart = true;
  TReconnectState state{3, 0};
  DecideLineChecked(false, true, kStart, connectOnStart, state);
  const uint32_t end = kStart + kReconnectPauseMs;
  EXPECT_EQ(state.PauseUntil, end);
  for (uint32_t at = kStart + kCheck; at <= end; at += kCheck) {
    EXPECT_EQ(DecideLineChecked(false, true, at, connectOnStart, state).Row, Row::Pause);
    EXPECT_EQ(state.PauseUntil, end) << "renewed at " << at;
    EXPECT_EQ(state.Attempts, 0);
  }
}

TEST(LineChecked, AShortenedPauseEndsSooner) {
  bool connectOnStart = true;
  TReconnectState state{3, 0};
  EXPECT_EQ(DecideLineChecked(false, true, kStart, connectOnStart, state, 30000).Row, Row::Pause);
  EXPECT_EQ(DecideLineChecked(false, true, kStart + 30000, connectOnStart, state, 30000).Row,
            Row::Pause);
  EXPECT_EQ(DecideLineChecked(false, true, kStart + 30001, connectOnStart, state, 30000).Row,
            Row::Redial);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LineCheckedScenario, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(LineChecked, EachRowSetsButtonsCaptionImageAndState) {
  struct TCase {
    bool Up, AutoReconnect, ConnectOnStart;
    TReconnectState State;
    Row ExpectedRow;
    bool ConnectEnabled, DisconnectEnabled;
    const wchar_t* Caption;
    int Image;
    bool ConnectOnStartAfter;
    TReconnectState StateAfter;
  };
  const uint32_t now = 500000;
  const TCase cases[] = {
      {true,
       true,
       true,
       {2, 0},
       Row::Connected,
       false,
       true,
       kCaptionConnected,
       kImageGreen,
       true,
       {2, 0}},
      {false,
       true,
       false,
       {1, 0},
       Row::Arm,
       true,
       false,
       kCaptionConnect,
       kImageUnchanged,
       true,
       {1, 0}},
      {false,
       false,
       true,
       {1, 0},
       Row::Idle,
       true,
       false,
       kCaptionConnect,
       kImageUnchanged,
       true,
       {1, 0}},
      {false,
       true,
       true,
       {1, 0},
       Row::Redial,
       false,
       false,
       kCaptionConnect,
       kImageRed,
       true,
       {2, 0}},
      {false,
       true,
       true,
       {3, 0},
       Row::Pause,
       true,
       false,
       kCaptionConnect,
       kImageRed,
       true,
       {0, now + kReconnectPauseMs}},
      {false,
       true,
       true,
       {0, now + 10},
       Row::Pause,
       true,
       false,
       kCaptionConnect,
       kImageRed,
       true,
       {0, now + 10}},
  };
  for (const TCase& c : cases) {
    bool connectOnStart = c.ConnectOnStart;
    TReconnectState state = c.State;
    TLineCheckDecision d = DecideLineChecked(c.Up, c.AutoReconnect, now, connectOnStart, state);
    SCOPED_TRACE(static_cast<int>(c.ExpectedRow));
    EXPECT_EQ(d.Row, c.ExpectedRow);
    EXPECT_EQ(d.View.ConnectEnabled, c.ConnectEnabled);
    EXPECT_EQ(d.View.DisconnectEnabled, c.DisconnectEnabled);
    EXPECT_STREQ(d.View.Caption, c.Caption);
    EXPECT_EQ(d.View.Image, c.Image);
    EXPECT_EQ(connectOnStart, c.ConnectOnStartAfter);
    EXPECT_EQ(state.Attempts, c.StateAfter.Attempts);
    EXPECT_EQ(state.PauseUntil, c.StateAfter.PauseUntil);
  }
}

TEST(DialDone, ErrorNumbersFrom600To800MeanFailure) {
  struct TCase {
    int ErrorCode;
    bool Failed;
  };
  const TCase cases[] = {{0, false},   {599, false}, {600, true}, {691, true},  {800, true},
                         {801, false}, {-1, false},  {1, false},  {9999, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.ErrorCode);
    TDialDoneDecision d = DecideDialDone(c.ErrorCode, /*refused=*/false);
    EXPECT_EQ(d.Failed, c.Failed);
    EXPECT_EQ(d.EnableConnect, c.Failed);
    EXPECT_EQ(d.RequestLineCheck, !c.Failed);
    EXPECT_STREQ(d.Caption, c.Failed ? kCaptionConnect : kCaptionConnected);
    EXPECT_EQ(d.Image, c.Failed ? kImageRed : kImageUnchanged);
  }
}

TEST(DialDone, ADialRefusedForItsCredentialsIsAFailureWithoutAnErrorNumber) {
  TDialDoneDecision d = DecideDialDone(0, /*refused=*/true);
  EXPECT_TRUE(d.Failed);
  EXPECT_TRUE(d.EnableConnect);
  EXPECT_FALSE(d.RequestLineCheck);
  EXPECT_STREQ(d.Caption, kCaptionConnect);
  EXPECT_EQ(d.Image, kImageRed);
}

TEST(DialGate, ACredentialBeginningWithASlashIsShownByHandAndLoggedAutomatically) {
  struct TCase {
    const char* Name;
    std::wstring Login;
    std::wstring Password;
    TDialAsk Ask;
    TDialGate Expected;
  };
  const std::wstring kLoginLine =
      L"Подключение не выполнено: логин не может начинаться с символа «/».";
  const std::wstring kPasswordLine =
      L"Подключение не выполнено: пароль не может начинаться с символа «/».";
  const std::wstring kBothLine =
      L"Подключение не выполнено: логин и пароль не могут начинаться с символа «/».";
  const std::vector<TCase> cases = {
      {"plain, by hand", L"user01", L"secret", TDialAsk::ByHand, {}},
      {"plain, automatic", L"user01", L"secret", TDialAsk::Automatic, {}},
      {"blanks and quotes", L"two words", L"pa ss\"w", TDialAsk::ByHand, {}},
      {"empty fields still dial", L"", L"", TDialAsk::ByHand, {}},
      {"login, by hand",
       L"/PHONEBOOK:C:\\Users\\Public\\x.pbk",
       L"secret",
       TDialAsk::ByHand,
       {false, kLoginLine + L" Исправьте логин и нажмите «Подключить» ещё раз.", L"", false}},
      {"password, by hand",
       L"user01",
       L" /x",
       TDialAsk::ByHand,
       {false, kPasswordLine + L" Исправьте пароль и нажмите «Подключить» ещё раз.", L"", false}},
      {"both, by hand",
       L"/a",
       L"/b",
       TDialAsk::ByHand,
       {false, kBothLine + L" Исправьте логин и пароль и нажмите «Подключить» ещё раз.", L"",
        false}},
      {"login, automatic",
       L"/PHONEBOOK:C:\\Users\\Public\\x.pbk",
       L"secret",
       TDialAsk::Automatic,
       {false, L"", kLoginLine, true}},
      {"both, automatic", L"/a", L"/b", TDialAsk::Automatic, {false, L"", kBothLine, true}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDialGate gate = DecideDial(c.Login, c.Password, c.Ask);
    EXPECT_EQ(gate.Dial, c.Expected.Dial);
    EXPECT_EQ(gate.Message, c.Expected.Message);
    EXPECT_EQ(gate.LogLine, c.Expected.LogLine);
    EXPECT_EQ(gate.EnableConnect, c.Expected.EnableConnect);
  }
}

TEST(RefreshLimit, EnablesOnlyAfterMoreThanAMinuteAlsoAcrossTheWrap) {
  struct TCase {
    uint32_t Last, Now;
    bool Enable;
  };
  const TCase cases[] = {
      {1000, 1000, false},
      {1000, 61000, false},  // exactly a minute
      {1000, 61001, true},
      {0xFFFFFFFFu - 30000, 29999, false},  // 60000 across the wrap
      {0xFFFFFFFFu - 30000, 30000, true},
      {0xFFFFF000u, 0x100, false},  // wrapped a moment ago: must not count as ages
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Last << " -> " << c.Now);
    EXPECT_EQ(RefreshMayBeEnabled(c.Now, c.Last), c.Enable);
  }
}

TEST(AccountAnswer, UpdateIsAnnouncedByCodeThreeWithAutoUpdateOn) {
  struct TCase {
    const wchar_t* Code;
    bool AutoUpdate;
    bool Update;
  };
  const TCase cases[] = {{L"3", true, true},   {L"3", false, false}, {L"03", true, true},
                         {L" 3", true, true},  {L"0", true, false},  {L"", true, false},
                         {L"3a", true, false}, {L"-3", true, false}, {L"99999999999", true, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << std::wstring(c.Code).size() << "' " << c.AutoUpdate);
    EXPECT_EQ(IsUpdateAnnounced(c.Code, c.AutoUpdate), c.Update);
  }
}

}  // namespace
}  // namespace velmora
