// The dialer's command lines and the error number read from its output.
#include "engine/Rasphone.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/CodePage.h"

namespace velmora {
namespace {

const std::wstring kDialer = L"C:\\Windows\\System32\\rasdial.exe";

TEST(RasphoneCommandLines, QuoteThePathAndOnlyCredentialsThatNeedItAndLeaveTheRunnersBlank) {
  struct TCase {
    std::wstring Actual;
    std::wstring Expected;
  };
  const std::vector<TCase> cases = {
      {DialCommandLine(kDialer, L"user01", L"secret"),
       L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix user01 secret"},
      // An empty password still stands as an argument, so the dialer never asks for one.
      {DialCommandLine(kDialer, L"user01", L""),
       L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix user01 \"\""},
      {DialCommandLine(kDialer, L"two words", L"p&ss #1"),
       L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix \"two words\" \"p&ss #1\""},
      // A value that tries to add an argument of its own stays one argument.
      {DialCommandLine(kDialer, L"x /PHONEBOOK:C:\\evil.pbk", L"p&ss#1"),
       L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix "
       L"\"x /PHONEBOOK:C:\\evil.pbk\" p&ss#1"},
      {HangUpCommandLine(kDialer), L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix /DISCONNECT"},
      // With the runner's blank the listing line ends in exactly two blanks.
      {ListingCommandLine(kDialer), L"\"C:\\Windows\\System32\\rasdial.exe\" "},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(c.Actual, c.Expected);
}

struct TErrorCase {
  const char* Name;
  std::wstring Output;
  int32_t Expected;
};

TEST(GetRasphoneErrorCode, ReadsTheFirstThreeDigitsFollowedByABlank) {
  const std::vector<TErrorCase> cases = {
      {"number in a sentence", L"Remote Access error 691 - denied", 691},
      {"four digits then blank are no number", L"code 6910 here\r\n", 0},
      {"four digits, later a real one", L"code 6910 then 678 - no answer\r\n", 678},
      {"number then full stop", L"error 691.\r\n", 0},
      {"no digits", L"Command completed successfully.\r\n", 0},
      {"ends in digits: the last one is never read", L"error 12345", 1234},
      {"empty text", L"", 0},
      {"one digit", L"7", 0},
      {"one blank", L" ", 0},
      {"first of two numbers", L"651 and 678 both\r\n", 651},
      {"digits right at the start", L"623 entry missing\r\n", 623},
      {"two digits then blank", L"error 69 here\r\n", 0},
      {"digits reset by a letter", L"a12b345 x\r\n", 345},
      {"trailing digits too large for 32 bits", L"99999999999x", 0},
      {"trailing digits just fit", L"2147483647x", 2147483647},
      {"trailing digits just too large", L"2147483648x", 0},
      {"leading zeros", L"0000000000000042x", 42},
      {"a tab is no blank", L"error 691\tdenied\r\n", 0},
  };
  for (const TErrorCase& c : cases)
    EXPECT_EQ(GetRasphoneErrorCode(c.Output), c.Expected) << c.Name;
}

TEST(GetRasphoneErrorCode, ReadsTheRealDialersOutput) {
  const std::vector<TErrorCase> cases = {
      {"english success",
       L"Connecting to Tarvolix...\r\nVerifying username and password...\r\n"
       L"Registering your computer on the network...\r\nSuccessfully connected to Tarvolix.\r\n"
       L"Command completed successfully.\r\n",
       0},
      {"english 691",
       L"Connecting to Tarvolix...\r\nVerifying username and password...\r\n\r\n"
       L"Remote Access error 691 - The remote connection was denied because the user name and "
       L"password combination you provided is not recognized, or the selected authentication "
       L"protocol is not permitted on the remote access server.\r\n\r\n"
       L"For more help on this error:\r\n        Type 'hh netcfg.chm'\r\n"
       L"        In help, click Troubleshooting, then Error Messages, then 691\r\n",
       691},
      {"english 678",
       L"Connecting to Tarvolix...\r\n\r\nRemote Access error 678 - The remote computer did not "
       L"respond.\r\n\r\nFor more help on this error:\r\n        Type 'hh netcfg.chm'\r\n"
       L"        In help, click Troubleshooting, then Error Messages, then 678\r\n",
       678},
      {"english 815 (outside the dial errors but still read)",
       L"Remote Access error 815 - The broadband network connection could not be established.\r\n",
       815},
      {"russian success",
       L"Установка связи с Tarvolix...\r\nПроверка имени пользователя и пароля...\r\n"
       L"Регистрация компьютера в сети...\r\nУспешно подключен к Tarvolix.\r\n"
       L"Команда успешно выполнена.\r\n",
       0},
      {"russian 691",
       L"Установка связи с Tarvolix...\r\nПроверка имени пользователя и пароля...\r\n\r\n"
       L"Ошибка удаленного доступа 691 - Доступ запрещен, поскольку такие имя пользователя или "
       L"пароль недопустимы в этом домене.\r\n",
       691},
      {"listing", L"Connected to\r\nTarvolix\r\nCommand completed successfully.\r\n", 0},
      {"russian listing", L"Нет подключений\r\nКоманда успешно выполнена.\r\n", 0},
  };
  for (const TErrorCase& c : cases)
    EXPECT_EQ(GetRasphoneErrorCode(c.Output), c.Expected) << c.Name;
}

TEST(ListingNamesEntry, LooksForTheEntrysBeginningCaseSensitively) {
  EXPECT_TRUE(
      ListingNamesEntry(L"Connected to\r\nTarvolix\r\nCommand completed successfully.\r\n"));
  EXPECT_TRUE(ListingNamesEntry(L"Tarvo"));
  EXPECT_TRUE(ListingNamesEntry(L"MyTarvoVPN"));
  EXPECT_FALSE(ListingNamesEntry(L"No connections\r\nCommand completed successfully.\r\n"));
  EXPECT_FALSE(ListingNamesEntry(L"tarvolix"));
  EXPECT_FALSE(ListingNamesEntry(L""));
}

}  // namespace
}  // namespace velmora
