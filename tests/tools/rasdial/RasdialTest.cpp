// The stand-in dialer under Wine, started from the prefix's system folder with the command
// lines the program uses: wording, error numbers, kept state, bursts, never-ending runs and the
// command log.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/win32/SystemCodePage.h"
#include "base/win32/Scoped.h"
#include "engine/ConsoleRunner.h"
#include "engine/EnvVariable.h"
#include "tests/engine/win32/WholeFiles.h"

namespace {

using velmora::GetEnvVariable;
using velmora::ToCodePage;
using velmora::ToUtf8;
using velmora::TScopedHandle;
using velmora::testing::ReadBytes;
using velmora::testing::WriteBytes;

const std::wstring kEntry = L"Tarvolix";

// The dialer path as the connector forms it, quoted as in its command lines.
std::wstring QuotedDialer() {
  std::wstring windows = GetEnvVariable(L"WINDIR");
  if (!windows.empty() && windows.back() != L'\\')
    windows += L'\\';
  return L"\"" + windows + L"System32\\rasdial.exe\"";
}

std::string Lines(const std::vector<std::wstring>& lines, UINT codePage = CP_ACP) {
  std::wstring text;
  for (const std::wstring& line : lines)
    text += line + L"\r\n";
  return ToCodePage(codePage, text);
}

struct TResult {
  DWORD ExitCode = 0;
  std::string Output;  // standard output and error, raw OEM bytes
};

// Runs a command line to its end with its output in a file: the raw bytes and the exit code.
TResult RunToEnd(const std::wstring& commandLine, const std::wstring& outputPath) {
  TResult result;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  TScopedHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output)
    return result;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  PROCESS_INFORMATION process{};
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  if (CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    const TScopedHandle thread(process.hThread);
    const TScopedHandle child(process.hProcess);
    WaitForSingleObject(child.Get(), 60000);
    GetExitCodeProcess(child.Get(), &result.ExitCode);
  }
  output.Close();
  result.Output = ReadBytes(outputPath);
  return result;
}

// Each test gets a folder of its own for the stand-in (VELMORA_RASDIAL_DIR, inherited by the
// stand-in) and a phonebook in it that holds the entry among others.
class RasdialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    FFolder = std::wstring(temp) + L"velmora-rasdial-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::wstring(info->name(), info->name() + strlen(info->name())) + L"\\";
    for (wchar_t& c : FFolder) {
      if (c == L'/')
        c = L'-';
    }
    CreateDirectoryW(FFolder.c_str(), nullptr);
    SetEnvironmentVariableW(L"VELMORA_RASDIAL_DIR", FFolder.c_str());
    WritePhonebook("[Other]\r\nType=1\r\n\r\n[Tarvolix]\r\nEncoding=1\r\n\r\n[Last]\r\nType=2\r\n");
  }

  void TearDown() override {
    for (const wchar_t* name : {L"scenario.txt", L"state.txt", L"commands.log", L"arguments.log",
                                L"pb.pbk", L"out.txt", L"state.txt.tmp"}) {
      DeleteFileW((FFolder + name).c_str());
    }
    RemoveDirectoryW(FFolder.c_str());
  }

  void WritePhonebook(const std::string& bytes) {
    ASSERT_TRUE(WriteBytes(FFolder + L"pb.pbk", bytes));
  }

  // The scenario, in English unless it says otherwise, reading the test's phonebook.
  void Scenario(const std::string& lines, bool english = true) {
    std::string text = lines + "\nphonebook = " + ToUtf8(FFolder) + "pb.pbk\n";
    if (english)
      text += "language = en\n";
    ASSERT_TRUE(WriteBytes(FFolder + L"scenario.txt", text));
  }

  TResult Dialer(const std::wstring& arguments) {
    return RunToEnd(QuotedDialer() + L" " + arguments, FFolder + L"out.txt");
  }
  TResult Dial(const std::wstring& login, const std::wstring& password) {
    return Dialer(kEntry + L" " + login + L" " + password + L" ");
  }
  TResult HangUp() { return Dialer(kEntry + L" /DISCONNECT "); }
  TResult List() { return Dialer(L" "); }

  // Chunks as the program's runner delivers them (ANSI).
  std::vector<std::string> Chunks(const std::wstring& arguments, uint32_t limitMs) {
    std::vector<std::string> chunks;
    velmora::RunConsoleCommand(
        QuotedDialer() + L" " + arguments, L"",
        [&chunks](const char* chunk) { chunks.emplace_back(chunk); }, nullptr, limitMs);
    return chunks;
  }

  std::wstring FFolder;
};

const std::string kListedNothing = "No connections\r\nCommand completed successfully.\r\n";
const std::string kListedEntry = "Connected to\r\nTarvolix\r\nCommand completed successfully.\r\n";
const std::string kConnected =
    "Connecting to Tarvolix...\r\n"
    "Verifying username and password...\r\n"
    "Registering your computer on the network...\r\n"
    "Successfully connected to Tarvolix.\r\n"
    "Command completed successfully.\r\n";

TEST_F(RasdialTest, DialWithRightCredentialsConnectsAndTheListingNamesTheEntry) {
  Scenario("account = ivan secret\naccount = other pass");
  EXPECT_EQ(List().Output, kListedNothing);
  const TResult dial = Dial(L"ivan", L"secret");
  EXPECT_EQ(dial.ExitCode, 0u);
  EXPECT_EQ(dial.Output, kConnected);
  EXPECT_EQ(List().Output, kListedEntry);

  const TResult again = Dial(L"ivan", L"secret");
  EXPECT_EQ(again.ExitCode, 0u);
  EXPECT_EQ(again.Output,
            "You are already connected to Tarvolix.\r\nCommand completed successfully.\r\n");
}

TEST_F(RasdialTest, WithoutAccountsEveryLoginIsAccepted) {
  Scenario("");
  EXPECT_EQ(Dial(L"anyone", L"anything").ExitCode, 0u);
  EXPECT_EQ(List().Output, kListedEntry);
}

struct TFailureCase {
  const char* Name;
  const char* Scenario;
  const char* Phonebook;  // nullptr: the fixture's phonebook that holds the entry
  const wchar_t* Password;
  DWORD Error;
  const char* Before;  // the lines before the error block
  const char* Text;
};

class RasdialFailure : public RasdialTest, public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(RasdialFailure, DialEndsWithTheErrorNumberAndLeavesTheEntryUnconnected) {
  const TFailureCase& c = GetParam();
  Scenario(c.Scenario);
  if (c.Phonebook != nullptr)
    WritePhonebook(c.Phonebook);
  const TResult dial = Dial(L"ivan", c.Password);
  const std::string number = std::to_string(c.Error);
  EXPECT_EQ(dial.ExitCode, c.Error);
  EXPECT_EQ(dial.Output, std::string(c.Before) + "\r\nRemote Access error " + number + " - " +
                             c.Text + "\r\n\r\nFor more help on this error:\r\n" +
                             "        Type 'hh netcfg.chm'\r\n" +
                             "        In help, click Troubleshooting, then Error Messages, then " +
                             number + "\r\n");
  EXPECT_EQ(List().Output, kListedNothing);
}

const char kConnecting[] = "Connecting to Tarvolix...\r\n";
const char kVerifying[] = "Connecting to Tarvolix...\r\nVerifying username and password...\r\n";
const char kDenied[] =
    "The remote connection was denied because the user name and password combination you "
    "provided is not recognized, or the selected authentication protocol is not permitted on "
    "the remote access server.";
const char kNoEntry[] = "The system could not find the phone book entry for this connection.";

INSTANTIATE_TEST_SUITE_P(
    Cases, RasdialFailure,
    ::testing::Values(
        TFailureCase{"WrongPassword", "account = ivan secret", nullptr, L"wrong", 691, kVerifying,
                     kDenied},
        TFailureCase{"LineDown", "line = down", nullptr, L"secret", 651, kConnecting,
                     "The modem (or other connecting device) has reported an error."},
        TFailureCase{"NoAnswer", "line = noanswer", nullptr, L"secret", 678, kConnecting,
                     "The remote computer did not respond. To make sure that the server can be "
                     "reached, ping the remote computer."},
        TFailureCase{"ForcedKnownError", "error = 720", nullptr, L"secret", 720, kVerifying,
                     "A connection to the remote computer could not be established. You might "
                     "need to change the network settings for this connection."},
        TFailureCase{"ForcedUnknownError", "error = 999", nullptr, L"secret", 999, kVerifying,
                     "Unknown error."},
        TFailureCase{"EntryNotInPhonebook", "", "[Other]\r\nType=1\r\n[Tarvolix2]\r\n", L"secret",
                     623, "", kNoEntry},
        TFailureCase{"EmptyPhonebook", "", "", L"secret", 623, "", kNoEntry}),
    [](const auto& info) { return std::string(info.param.Name); });

// A password with a blank reaches the dialer as two words; the first one alone is the
// password it checks, so this is a wrong password.
TEST_F(RasdialTest, PasswordWithBlankArrivesCutAndIsRejected) {
  Scenario("account = ivan se");
  EXPECT_EQ(Dial(L"ivan", L"se cret").ExitCode, 0u);
  Scenario("account = ivan secret");
  EXPECT_EQ(HangUp().ExitCode, 0u);
  EXPECT_EQ(Dial(L"ivan", L"sec ret").ExitCode, 691u);
}

TEST_F(RasdialTest, HangUpEndsTheConnectionAndSaysSoWhenThereIsNone) {
  Scenario("");
  ASSERT_EQ(Dial(L"ivan", L"secret").ExitCode, 0u);
  const TResult hangUp = HangUp();
  EXPECT_EQ(hangUp.ExitCode, 0u);
  EXPECT_EQ(hangUp.Output, "Command completed successfully.\r\n");
  EXPECT_EQ(List().Output, kListedNothing);
  EXPECT_EQ(HangUp().Output, "You are not connected to Tarvolix.\r\n");
}

TEST_F(RasdialTest, DefaultPhonebookIsTheAllUsersOne) {
  ASSERT_TRUE(WriteBytes(FFolder + L"scenario.txt", "language = en\n"));
  const std::wstring saved = GetEnvVariable(L"ALLUSERSPROFILE");
  SetEnvironmentVariableW(L"ALLUSERSPROFILE", (FFolder + L"profile").c_str());
  std::wstring path = FFolder + L"profile";
  for (const wchar_t* level :
       {L"", L"\\Application Data", L"\\Microsoft", L"\\Network", L"\\Connections", L"\\Pbk"}) {
    path += level;
    CreateDirectoryW(path.c_str(), nullptr);
  }
  const std::wstring phonebook = path + L"\\rasphone.pbk";

  EXPECT_EQ(Dial(L"ivan", L"secret").ExitCode, 623u);
  ASSERT_TRUE(WriteBytes(phonebook, "[Tarvolix]\r\nEncoding=1\r\n"));
  EXPECT_EQ(Dial(L"ivan", L"secret").ExitCode, 0u);

  SetEnvironmentVariableW(L"ALLUSERSPROFILE", saved.c_str());
  DeleteFileW(phonebook.c_str());
  for (int level = 0; level < 6; ++level) {
    RemoveDirectoryW(path.c_str());
    path = path.substr(0, path.find_last_of(L'\\'));
  }
}

TEST_F(RasdialTest, LogHoldsEveryCommandLineExactlyInUtf8) {
  Scenario("");
  const std::vector<std::wstring> commandLines = {
      QuotedDialer() + L" Tarvolix ivan secret ",
      QuotedDialer() + L"  ",
      QuotedDialer() + L" Tarvolix логин пароль ",
      QuotedDialer() + L" Tarvolix /DISCONNECT ",
  };
  std::string expected;
  for (const std::wstring& commandLine : commandLines) {
    RunToEnd(commandLine, FFolder + L"out.txt");
    expected += ToUtf8(commandLine) + "\n";
  }
  EXPECT_EQ(ReadBytes(FFolder + L"commands.log"), expected);
}

// What the dialer receives, as the real one reads its command line: quoted values whole, with
// their blanks, inner quotes and backslashes.
TEST_F(RasdialTest, ArgumentsAreReadByTheRuntimesRulesAndLogged) {
  Scenario("account = ivan secret");
  const std::wstring path = QuotedDialer().substr(1, QuotedDialer().size() - 2);
  std::string pathJson;
  for (const char c : ToUtf8(path))
    pathJson += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_EQ(Dialer(L"Tarvolix ivan \"pa ss\\\"w\" ").ExitCode, 691u);
  EXPECT_EQ(Dialer(L"Tarvolix \"\" \"a b\\\\\" ").ExitCode, 691u);
  EXPECT_EQ(Dialer(L"Tarvolix \"ivan\" secret ").ExitCode, 0u);
  EXPECT_EQ(ReadBytes(FFolder + L"arguments.log"),
            "[\"" + pathJson +
                "\", \"Tarvolix\", \"ivan\", \"pa ss\\\"w\"]\n"
                "[\"" +
                pathJson +
                "\", \"Tarvolix\", \"\", \"a b\\\\\"]\n"
                "[\"" +
                pathJson + "\", \"Tarvolix\", \"ivan\", \"secret\"]\n");
}

TEST_F(RasdialTest, OutputComesInBurstsAfterTheDialDelay) {
  struct {
    const char* Scenario;
    std::vector<std::string> Chunks;
  } const cases[] = {
      {"delay = 1500",
       {"Connecting to Tarvolix...\r\n",
        "Verifying username and password...\r\nRegistering your computer on the network...\r\n"
        "Successfully connected to Tarvolix.\r\nCommand completed successfully.\r\n"}},
      {"bursts = 3\ngap = 1500",
       {"Connecting to Tarvolix...\r\nVerifying username and password...\r\n",
        "Registering your computer on the network...\r\nSuccessfully connected to Tarvolix.\r\n",
        "Command completed successfully.\r\n"}},
  };
  for (const auto& c : cases) {
    Scenario(c.Scenario);
    DeleteFileW((FFolder + L"state.txt").c_str());
    EXPECT_EQ(Chunks(L"Tarvolix ivan secret ", velmora::kConsoleRunLimitMs), c.Chunks)
        << c.Scenario;
  }
}

TEST_F(RasdialTest, NeverEndingDialIsEndedByTheRunnerAndConnectsNothing) {
  Scenario("hang = dial");
  EXPECT_EQ(Chunks(L"Tarvolix ivan secret ", 5000),
            std::vector<std::string>{"Connecting to Tarvolix...\r\n"});
  Scenario("");
  EXPECT_EQ(List().Output, kListedNothing);
}

TEST_F(RasdialTest, StateFileWrittenByATestCounts) {
  Scenario("");
  ASSERT_TRUE(WriteBytes(FFolder + L"state.txt", "Tarvolix\r\nOffice VPN\r\n"));
  EXPECT_EQ(List().Output,
            "Connected to\r\nTarvolix\r\nOffice VPN\r\nCommand completed successfully.\r\n");
}

TEST_F(RasdialTest, BadScenarioFailsEveryRunNamingTheLine) {
  Scenario("account = ivan secret\nline = sideways");
  const TResult list = List();
  EXPECT_EQ(list.ExitCode, 87u);
  EXPECT_NE(list.Output.find("line 2: line = sideways"), std::string::npos) << list.Output;
}

// Under the Russian locale (OEM 866) the stand-in speaks Russian, under the English one
// (OEM 437) English; the bytes are in the OEM code page.
using RasdialLocale = RasdialTest;

TEST_F(RasdialLocale, WordingFollowsTheLocaleInTheOemCodePage) {
  struct {
    UINT Oem;
    std::vector<std::wstring> Connected;
    std::wstring DeniedLine;
    std::vector<std::wstring> Listing;
  } const cases[] = {
      {866,
       {L"Установка связи с Tarvolix...", L"Проверка имени пользователя и пароля...",
        L"Регистрация компьютера в сети...", L"Успешно подключен к Tarvolix.",
        L"Команда успешно выполнена."},
       L"Ошибка удаленного доступа 691 - Доступ запрещен, поскольку такие имя пользователя или "
       L"пароль недопустимы в этом домене.",
       {L"Нет подключений", L"Команда успешно выполнена."}},
      {437,
       {L"Connecting to Tarvolix...", L"Verifying username and password...",
        L"Registering your computer on the network...", L"Successfully connected to Tarvolix.",
        L"Command completed successfully."},
       L"Remote Access error 691 - The remote connection was denied because the user name and "
       L"password combination you provided is not recognized, or the selected authentication "
       L"protocol is not permitted on the remote access server.",
       {L"No connections", L"Command completed successfully."}},
  };
  bool ran = false;
  for (const auto& c : cases) {
    if (GetOEMCP() != c.Oem)
      continue;
    ran = true;
    Scenario("account = ivan secret", /*english=*/false);
    EXPECT_EQ(List().Output, Lines(c.Listing, c.Oem));
    const std::string denied = Dial(L"ivan", L"wrong").Output;
    EXPECT_NE(denied.find(Lines({c.DeniedLine}, c.Oem)), std::string::npos);
    EXPECT_EQ(Dial(L"ivan", L"secret").Output, Lines(c.Connected, c.Oem));
  }
  EXPECT_TRUE(ran) << "no case for OEM code page " << GetOEMCP();
}

}  // namespace
