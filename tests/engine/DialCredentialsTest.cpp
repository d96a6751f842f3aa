// Logins and passwords that the dialer would take for its switches: which they are, the
// refusal's wording, and that such a dial never runs the dialer while every other one runs
// the same command line as ever.
#include "engine/DialCredentials.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/CodePage.h"
#include "engine/Rasphone.h"
#include "tests/engine/fakes/ScriptedRunner.h"

namespace velmora {
namespace {

using testing::TDialerRun;

const std::wstring kDialer = L"C:\\Windows\\System32\\rasdial.exe";

struct TCredentialCase {
  const char* Name;
  std::wstring Value;
  bool Switch;
};

const std::vector<TCredentialCase>& CredentialCases() {
  static const std::vector<TCredentialCase> cases = {
      {"a phonebook of the user's choosing", L"/PHONEBOOK:C:\\Users\\Public\\x.pbk", true},
      {"a slash alone", L"/", true},
      {"two slashes", L"//x", true},
      {"a switch with a blank, quoted on the line", L"/PHONEBOOK:C:\\a b.pbk", true},
      {"blanks before the slash", L"  /PHONEBOOK:x.pbk", true},
      {"a tab before the slash", L"\t/PREFIXSUFFIX", true},
      {"plain", L"user01", false},
      {"empty", L"", false},
      {"only blanks", L"   ", false},
      {"a slash inside", L"user/01", false},
      {"a slash at the end", L"user01/", false},
      {"a backslash first", L"\\PHONEBOOK:x", false},
      // The dialer's switches begin with "/"; a hyphen is an ordinary character to it.
      {"a hyphen first", L"-PHONEBOOK:x", false},
      // Quotes are part of the value: the dialer receives them and the text does not begin
      // with "/".
      {"a quote first", L"\"/x\"", false},
      {"a blank and a quote", L"pa ss\"w", false},
      {"Cyrillic", L"пароль/1", false},
  };
  return cases;
}

TEST(ReadAsDialerSwitch, IsTrueForWhatBeginsWithASlashAlsoAfterBlanks) {
  for (const TCredentialCase& c : CredentialCases())
    EXPECT_EQ(ReadAsDialerSwitch(c.Value), c.Switch) << c.Name;
}

TEST(DialRefusal, NamesTheFieldThatBeginsWithASlashOrNothingForPlainOnes) {
  struct TCase {
    std::wstring Login;
    std::wstring Password;
    std::optional<std::wstring> Refusal;
  };
  const std::vector<TCase> cases = {
      {L"/PHONEBOOK:C:\\x.pbk", L"secret",
       L"Подключение не выполнено: логин не может начинаться с символа «/»."},
      {L"user01", L"/PHONEBOOK:C:\\x.pbk",
       L"Подключение не выполнено: пароль не может начинаться с символа «/»."},
      {L"/a", L" /b",
       L"Подключение не выполнено: логин и пароль не могут начинаться с символа «/»."},
      {L"user01", L"secret", std::nullopt},
      {L"", L"", std::nullopt},
      {L"two words", L"pa ss\"w", std::nullopt},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(WideToAnsi(c.Login + L" / " + c.Password));
    const std::optional<std::wstring> refusal = DialRefusal(c.Login, c.Password);
    EXPECT_EQ(refusal, c.Refusal);
    if (refusal) {
      EXPECT_TRUE(IsDialRefusedLine(*refusal));
    }
  }
  // The dialer's own text is never taken for a refusal.
  EXPECT_FALSE(IsDialRefusedLine(L"Установка связи с Tarvolix...\r\n"));
  EXPECT_FALSE(IsDialRefusedLine(L"Remote Access error 691 - denied\r\n"));
  EXPECT_FALSE(IsDialRefusedLine(L""));
}

// Every pair of the credentials above through the dial routine: a switch in either runs no
// dialer and gives the refusal; every other pair runs it as before.
TEST(RunRasphone, RunsNoDialerForASwitchAndTheSameCommandLineAsEverOtherwise) {
  for (const TCredentialCase& login : CredentialCases()) {
    for (const TCredentialCase& password : CredentialCases()) {
      SCOPED_TRACE(std::string(login.Name) + " / " + password.Name);
      testing::TScriptedRunner runner;
      runner.Script(TDialerRun::Dial, {"Command completed successfully.\r\n"});
      std::wstring output = L"before";
      const std::wstring lastBefore = LastConsoleOutput();
      const bool dialled = RunRasphone(runner, kDialer, login.Value, password.Value, output);
      if (login.Switch || password.Switch) {
        EXPECT_FALSE(dialled);
        EXPECT_EQ(runner.Started(TDialerRun::Dial), 0);
        EXPECT_EQ(output, DialRefusedLine({login.Switch, password.Switch}));
        EXPECT_EQ(LastConsoleOutput(), lastBefore);
      } else {
        EXPECT_TRUE(dialled);
        EXPECT_EQ(
            runner.Commands(),
            (std::vector<std::wstring>{DialCommandLine(kDialer, login.Value, password.Value)}));
        EXPECT_EQ(output, L"Command completed successfully.\r\n");
      }
    }
  }
}

// Plain credentials, blanks and quotes included, give the very bytes they gave before.
TEST(RunRasphone, PlainCredentialsRunTheirCommandLineByteForByte) {
  struct TCase {
    std::wstring Login;
    std::wstring Password;
    std::wstring Line;
  };
  const std::vector<TCase> cases = {
      {L"user01", L"secret", L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix user01 secret"},
      {L"user01", L"", L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix user01 \"\""},
      {L"two words", L"pa ss\"w",
       L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix \"two words\" \"pa ss\\\"w\""},
      {L"user/01", L"-secret", L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix user/01 -secret"},
      {L"абонент", L"p&ss#1%", L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix абонент p&ss#1%"},
  };
  for (const TCase& c : cases) {
    testing::TScriptedRunner runner;
    runner.Script(TDialerRun::Dial, {"Command completed successfully.\r\n"});
    std::wstring output;
    RunRasphone(runner, kDialer, c.Login, c.Password, output);
    EXPECT_EQ(runner.Commands(), std::vector<std::wstring>{c.Line}) << WideToAnsi(c.Line);
    EXPECT_EQ(runner.Params(), std::vector<std::wstring>{L""});
  }
}

}  // namespace
}  // namespace velmora
