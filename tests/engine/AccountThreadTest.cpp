// Account information: the request address and its encoding, how answers are stored (and an
// oversized one refused), and the account thread's passes on the deadline (no query without
// credentials, one query per due deadline, the notification every pass, a prompt stop during
// a query, a pass that throws, the change indicator of the stored answer).
#include "engine/AccountInfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "engine/Ticks.h"
#include "tests/engine/fakes/FakeEnv.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using testing::kPermanentThreads;
using testing::TFakeEnv;

constexpr uint32_t kDayMs = 86400000;

TUserInfo Filled(const std::wstring& prefix) {
  TUserInfo info;
  for (size_t i = 0; i < info.size(); ++i)
    info[i] = prefix + std::to_wstring(i);
  return info;
}

TEST(AccountAnswer, FillsFieldsFromTheStartAndLeavesTheRestAsTheyWere) {
  struct TCase {
    const char* Name;
    std::wstring Answer;
    TUserInfo Expected;  // starting from Filled(L"old")
  };
  TUserInfo full = Filled(L"f");
  TUserInfo update = Filled(L"old");
  update[ufErrorCode] = L"3";
  update[ufContract] = L"http://127.0.0.1:18931/Ostrada.exe";
  TUserInfo trailingBar = Filled(L"old");
  trailingBar[ufErrorCode] = L"0";
  trailingBar[ufContract] = L"";
  TUserInfo failed = Filled(L"old");
  failed[ufErrorCode] = L"";
  TUserInfo noBar = Filled(L"old");
  noBar[ufErrorCode] = L"<html><body>502 Bad Gateway</body></html>";
  TUserInfo lineEnd = Filled(L"old");
  lineEnd[ufErrorCode] = L"0";
  lineEnd[ufContract] = L"12345\r\n";
  TUserInfo emptyFields = Filled(L"old");
  for (size_t i = 0; i < 5; ++i)
    emptyFields[i] = L"";

  const std::vector<TCase> cases = {
      {"13 fields and more text", L"f0|f1|f2|f3|f4|f5|f6|f7|f8|f9|f10|f11|f12|extra|more", full},
      {"exactly 13 fields", L"f0|f1|f2|f3|f4|f5|f6|f7|f8|f9|f10|f11|f12", full},
      {"update announcement", L"3|http://127.0.0.1:18931/Ostrada.exe", update},
      {"answer ending in a bar clears that field", L"0|", trailingBar},
      {"failed exchange", L"", failed},
      {"no bar at all", L"<html><body>502 Bad Gateway</body></html>", noBar},
      {"line end stays in its field", L"0|12345\r\n", lineEnd},
      {"empty fields", L"||||", emptyFields},
      // Past the cap the answer is a failed exchange; at the cap it is still an answer.
      {"longer than the cap, no bar", std::wstring(kMaxAccountAnswerBytes + 1, L'x'), failed},
      {"longer than the cap, with bars", L"f0|f1|" + std::wstring(kMaxAccountAnswerBytes, L'x'),
       failed},
  };
  for (const TCase& c : cases) {
    TUserInfo info = Filled(L"old");
    StoreAccountAnswer(c.Answer, info);
    EXPECT_EQ(info, c.Expected) << c.Name;
  }
}

TEST(AccountAnswer, TakesAnAnswerOfExactlyTheCapAndTellsWhetherAnythingChanged) {
  TUserInfo info = Filled(L"old");
  const std::wstring atCap(kMaxAccountAnswerBytes, L'x');
  EXPECT_TRUE(StoreAccountAnswer(atCap, info));
  EXPECT_EQ(info[ufErrorCode], atCap);
  EXPECT_EQ(info[ufContract], L"old1");
  EXPECT_FALSE(StoreAccountAnswer(atCap, info));
  EXPECT_TRUE(StoreAccountAnswer(L"0|old1", info));
  EXPECT_FALSE(StoreAccountAnswer(L"0|old1", info));
}

TEST(AccountAnswer, KeepsCyrillicAndBlanksAsReceived) {
  TUserInfo info;
  StoreAccountAnswer(L"0|10-2345| Иванов Иван |Домашний 100|-15.50 руб.|01.02.2027", info);
  EXPECT_EQ(info[ufName], L" Иванов Иван ");
  EXPECT_EQ(info[ufTariff], L"Домашний 100");
  EXPECT_EQ(info[ufBalance], L"-15.50 руб.");
  EXPECT_EQ(info[ufDate], L"01.02.2027");
  EXPECT_EQ(info[ufTraffic], L"");
}

TEST(AccountRequestUrl, InsertsLoginPasswordAndVersion) {
  EXPECT_EQ(AccountRequestUrl(L"127.0.0.1:18931", L"user01", L"secret", 6),
            L"http://127.0.0.1:18931/connector/connector.php?user=user01&pass=secret&ver=6");
  EXPECT_EQ(AccountRequestUrl(L"account.example", L"иван", L"a&b #c", 14),
            L"http://account.example/connector/connector.php?user=иван&pass=a%26b%20%23c&ver=14");
  EXPECT_EQ(AccountRequestUrl(L"h", L"u", L"p", 0),
            L"http://h/connector/connector.php?user=u&pass=p&ver=0");
}

TEST(EncodeQueryValue, LeavesPlainValuesAsTheyAre) {
  // Everything printable but the five specials, and Cyrillic (one 1251 byte each).
  std::wstring plain;
  for (wchar_t c = 0x21; c < 0x7F; ++c) {
    if (std::wstring(L"%&#+").find(c) == std::wstring::npos)
      plain += c;
  }
  for (const std::wstring& value :
       {plain, std::wstring(L"Иван_Петров-1990"), std::wstring(L"ёЁ№"), std::wstring()})
    EXPECT_EQ(EncodeQueryValue(value), value);
}

TEST(EncodeQueryValue, EncodesEachByteThatWouldChangeTheQueryOrTheRequest) {
  struct TCase {
    std::wstring Value;
    std::wstring Expected;
  };
  const std::vector<TCase> cases = {
      {L" ", L"%20"},
      {L"%", L"%25"},
      {L"&", L"%26"},
      {L"#", L"%23"},
      {L"+", L"%2B"},
      {L"\r\n", L"%0D%0A"},
      {std::wstring(1, L'\0'), L"%00"},
      {L"\x1F", L"%1F"},
      {L"\t", L"%09"},
      {L"\x7F", L"%7F"},
      {L"pa ss\"w", L"pa%20ss\"w"},
      {L"x&pass=y#z", L"x%26pass=y%23z"},
      {L"100%+", L"100%25%2B"},
      {L"ы ы", L"ы%20ы"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(EncodeQueryValue(c.Value), c.Expected);
}

class AccountThread : public ::testing::Test {
 protected:
  TFakeEnv Fake{0xFFFFFFFFu - 1500};  // the first deadline computed crosses the wrap
};

TEST_F(AccountThread, WithoutLoginOrPasswordNothingIsSentButTheDeadlineMovesADay) {
  struct TCase {
    std::wstring Login;
    std::wstring Password;
  };
  for (const TCase& c : std::vector<TCase>{{L"", L"secret"}, {L"user01", L""}, {L"", L""}}) {
    TFakeEnv fake;
    auto connector = fake.Create();
    connector->SetLogin(c.Login);
    connector->SetPassword(c.Password);
    ASSERT_TRUE(fake.Clock.Run(1000, kPermanentThreads));
    EXPECT_TRUE(fake.Transfer->Urls().empty());
    EXPECT_EQ(connector->NextUserAccountCheck(), DeadlineAfter(fake.Clock.Ticks(), kDayMs));
    EXPECT_EQ(fake.Notifier.Count(cnAccountInfo), 1u);
    EXPECT_EQ(connector->UserInfo(), TUserInfo{});
  }
}

TEST_F(AccountThread, ADueDeadlineQueriesOnceStoresTheAnswerAndMovesTheDeadline) {
  Fake.Transfer->Answer(L"0|10-2345|Иванов|Домашний|150.00|01.02.2027");
  auto connector = Fake.Create();
  EXPECT_EQ(connector->UserInfo(), TUserInfo{});  // 13 empty texts before the first answer
  connector->SetLogin(L"user01");
  connector->SetPassword(L"p&ss #1");
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(Fake.Transfer->Urls(),
            (std::vector<std::wstring>{
                L"http://127.0.0.1:18931/connector/connector.php?user=user01&pass=p%26ss%20%231"
                L"&ver=6"}));
  const TUserInfo info = connector->UserInfo();
  EXPECT_EQ(info[ufContract], L"10-2345");
  EXPECT_EQ(info[ufDate], L"01.02.2027");
  EXPECT_EQ(info[ufTrafficMounth], L"");
  EXPECT_EQ(connector->NextUserAccountCheck(), DeadlineAfter(Fake.Clock.Ticks(), kDayMs));
  // Across the wrap the day-ahead deadline is not mistaken for a passed one.
  ASSERT_TRUE(Fake.Clock.Run(30000, kPermanentThreads));
  EXPECT_EQ(Fake.Transfer->Urls().size(), 1u);
  // Moving the deadline to now (the refresh button) brings the next query.
  connector->SetNextUserAccountCheck(Fake.Clock.Ticks());
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(Fake.Transfer->Urls().size(), 2u);
}

TEST_F(AccountThread, ARefreshDuringARunningQueryDoesNotRepeatIt) {
  Fake.Transfer->Answer(L"0|10-2345");
  Fake.Transfer->Hold();
  auto connector = Fake.Create();
  connector->SetLogin(L"user01");
  connector->SetPassword(L"secret");
  Fake.Clock.Advance(1000);
  ASSERT_TRUE(Fake.Transfer->WaitUrls(1));
  connector->SetNextUserAccountCheck(Fake.Clock.Ticks());
  Fake.Transfer->Release();
  ASSERT_TRUE(Fake.Clock.WaitSleeping(kPermanentThreads));
  ASSERT_TRUE(Fake.Clock.Run(10000, kPermanentThreads));
  EXPECT_EQ(Fake.Transfer->Urls().size(), 1u);
  EXPECT_EQ(connector->UserInfo()[ufContract], L"10-2345");
}

TEST_F(AccountThread, PostsTheNotificationOnEveryPassAboutOnceASecond) {
  auto connector = Fake.Create();
  ASSERT_TRUE(Fake.Clock.Run(999, kPermanentThreads, 999));
  EXPECT_EQ(Fake.Notifier.Count(cnAccountInfo), 0u);
  ASSERT_TRUE(Fake.Clock.Run(1, kPermanentThreads, 1));
  EXPECT_EQ(Fake.Notifier.Count(cnAccountInfo), 1u);  // the due pass
  ASSERT_TRUE(Fake.Clock.Run(5000, kPermanentThreads));
  EXPECT_EQ(Fake.Notifier.Count(cnAccountInfo), 6u);  // and every waiting pass
}

TEST_F(AccountThread, AFailedExchangeEmptiesOnlyTheErrorCodeAndWaitsADay) {
  Fake.Transfer->Answer(L"0|10-2345|Иванов");
  auto connector = Fake.Create();
  connector->SetLogin(L"user01");
  connector->SetPassword(L"secret");
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  Fake.Transfer->Answer(L"");
  connector->SetNextUserAccountCheck(kDueNow);
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  const TUserInfo info = connector->UserInfo();
  EXPECT_EQ(info[ufErrorCode], L"");
  EXPECT_EQ(info[ufContract], L"10-2345");
  EXPECT_EQ(info[ufName], L"Иванов");
  EXPECT_EQ(connector->NextUserAccountCheck(), DeadlineAfter(Fake.Clock.Ticks(), kDayMs));
}

TEST_F(AccountThread, WithoutATransferEveryQueryCountsAsFailed) {
  TConnectorEnv env = Fake.Env();
  env.MakeTransfer = nullptr;
  TConnector connector(env);
  connector.SetFormHandle(testing::kTestWindow);
  ASSERT_TRUE(Fake.Clock.WaitSleeping(kPermanentThreads));
  connector.SetLogin(L"user01");
  connector.SetPassword(L"secret");
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(connector.UserInfo(), TUserInfo{});
  EXPECT_EQ(connector.NextUserAccountCheck(), DeadlineAfter(Fake.Clock.Ticks(), kDayMs));
  EXPECT_EQ(Fake.Notifier.Count(cnAccountInfo), 1u);
}

TEST_F(AccountThread, APassThatThrowsIsRecordedNotifiedAndTheThreadGoesOn) {
  Fake.Transfer->Answer(L"0|10-2345");
  Fake.Transfer->Throw(true);
  auto connector = Fake.Create();
  connector->SetLogin(L"user01");
  connector->SetPassword(L"secret");
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(connector->ThreadFaults(), 1u);
  EXPECT_EQ(connector->LastThreadFault(), "scripted exchange failure");
  EXPECT_EQ(Fake.Notifier.Count(cnAccountInfo), 1u);
  // Like a failed exchange: nothing stored, the next query a day later, not at once.
  EXPECT_EQ(connector->UserInfo(), TUserInfo{});
  EXPECT_EQ(connector->NextUserAccountCheck(), DeadlineAfter(Fake.Clock.Ticks(), kDayMs));
  ASSERT_TRUE(Fake.Clock.Run(3000, kPermanentThreads));
  EXPECT_EQ(Fake.Transfer->Urls().size(), 1u);
  EXPECT_EQ(Fake.Notifier.Count(cnAccountInfo), 4u);
  // The same thread answers the next refresh.
  Fake.Transfer->Throw(false);
  connector->SetNextUserAccountCheck(kDueNow);
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_EQ(connector->UserInfo()[ufContract], L"10-2345");
  EXPECT_EQ(connector->ThreadFaults(), 1u);
}

TEST_F(AccountThread, TheWindowCopiesTheAnswerOnlyAfterItChanged) {
  Fake.Transfer->Answer(L"0|10-2345");
  auto connector = Fake.Create();
  uint64_t seen = 0;
  TUserInfo copy = Filled(L"untouched");
  EXPECT_FALSE(connector->UserInfoIfChanged(seen, copy));  // nothing stored yet
  EXPECT_EQ(copy, Filled(L"untouched"));
  connector->SetLogin(L"user01");
  connector->SetPassword(L"secret");
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_TRUE(connector->UserInfoIfChanged(seen, copy));
  EXPECT_EQ(copy, connector->UserInfo());
  EXPECT_FALSE(connector->UserInfoIfChanged(seen, copy));
  // The same answer again changes nothing; a different one does.
  connector->SetNextUserAccountCheck(kDueNow);
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_FALSE(connector->UserInfoIfChanged(seen, copy));
  Fake.Transfer->Answer(L"0|10-2346");
  connector->SetNextUserAccountCheck(kDueNow);
  ASSERT_TRUE(Fake.Clock.Run(1000, kPermanentThreads));
  EXPECT_TRUE(connector->UserInfoIfChanged(seen, copy));
  EXPECT_EQ(copy[ufContract], L"10-2346");
}

TEST_F(AccountThread, DestroyDuringAQueryCancelsItAndReturnsPromptly) {
  Fake.Transfer->Answer(L"0|10-2345");
  Fake.Transfer->Hold();
  auto connector = Fake.Create();
  connector->SetLogin(L"user01");
  connector->SetPassword(L"secret");
  Fake.Clock.Advance(1000);
  ASSERT_TRUE(Fake.Transfer->WaitUrls(1));
  ASSERT_TRUE(Fake.Clock.WaitSleeping(1));  // the line watch is back asleep
  const size_t postsBefore = Fake.Notifier.Codes().size();
  auto destroyed = std::async(std::launch::async, [&] { connector.reset(); });
  ASSERT_EQ(destroyed.wait_for(3s), std::future_status::ready);
  EXPECT_GE(Fake.Transfer->Cancels(), 1);
  EXPECT_EQ(Fake.Notifier.Codes().size(), postsBefore);
}

}  // namespace
}  // namespace velmora
