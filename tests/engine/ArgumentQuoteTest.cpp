// Quoting of the dialer's arguments: the exact text for each kind of value, and a round trip
// through the C runtime's reading of a command line.
#include "engine/ArgumentQuote.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Rasphone.h"

namespace velmora {
namespace {

// The C runtime's reading of the arguments after the program name: blanks and tabs outside
// quotes separate; 2n backslashes and a quote give n backslashes and open or close quotes;
// 2n+1 backslashes and a quote give n backslashes and a quote; other backslashes are literal.
std::vector<std::wstring> ReadArguments(const std::wstring& line) {
  std::vector<std::wstring> arguments;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
      ++i;
    if (i == line.size())
      return arguments;
    std::wstring argument;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == L'\\') {
        ++backslashes;
        ++i;
      }
      if (i < line.size() && line[i] == L'"') {
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1)
          argument += L'"';
        else
          quoted = !quoted;
        ++i;
      } else {
        argument.append(backslashes, L'\\');
        if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t')))
          argument += line[i++];
      }
    }
    arguments.push_back(argument);
  }
}

struct TQuoteCase {
  const char* Name;
  std::wstring Value;
  std::wstring Quoted;
};

const std::vector<TQuoteCase>& QuoteCases() {
  static const std::vector<TQuoteCase> cases = {
      {"plain", L"secret", L"secret"},
      {"plain with specials that need no quotes", L"p&ss#1%+/|<>", L"p&ss#1%+/|<>"},
      {"backslashes without a quote stay", L"a\\b\\\\c\\", L"a\\b\\\\c\\"},
      {"blank", L"pa ss", L"\"pa ss\""},
      {"tab", L"pa\tss", L"\"pa\tss\""},
      {"quote", L"pa\"ss", L"\"pa\\\"ss\""},
      {"backslashes before a quote", L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
      {"trailing backslash with a blank", L"a b\\", L"\"a b\\\\\""},
      {"trailing backslashes with a blank", L"a b\\\\", L"\"a b\\\\\\\\\""},
      {"empty", L"", L"\"\""},
      {"only a blank", L" ", L"\" \""},
      {"Cyrillic", L"пароль", L"пароль"},
      {"Cyrillic with a blank", L"мой пароль", L"\"мой пароль\""},
      {"an argument of its own", L"x /PHONEBOOK:C:\\evil.pbk", L"\"x /PHONEBOOK:C:\\evil.pbk\""},
      // The quotes are gone once the dialer reads its arguments: this one still begins with
      // "/", which is why such a credential is not dialled at all (DialCredentials).
      {"a switch in quotes", L"/PHONEBOOK:C:\\a b.pbk", L"\"/PHONEBOOK:C:\\a b.pbk\""},
      {"blanks before a slash", L"  /x", L"\"  /x\""},
      {"the password of the end-to-end test", L"pa ss\"w", L"\"pa ss\\\"w\""},
  };
  return cases;
}

TEST(QuoteArgument, QuotesOnlyWhatTheRuntimeWouldSplitOrLose) {
  for (const TQuoteCase& c : QuoteCases())
    EXPECT_EQ(QuoteArgument(c.Value), c.Quoted) << c.Name;
}

TEST(QuoteArgument, TheDialCommandLineGivesLoginAndPasswordBackWhole) {
  for (const TQuoteCase& login : QuoteCases()) {
    for (const TQuoteCase& password : QuoteCases()) {
      const std::vector<std::wstring> arguments = ReadArguments(
          DialCommandLine(L"C:\\Windows\\System32\\rasdial.exe", login.Value, password.Value) +
          L" ");
      EXPECT_EQ(arguments, (std::vector<std::wstring>{L"C:\\Windows\\System32\\rasdial.exe",
                                                      L"Tarvolix", login.Value, password.Value}))
          << login.Name << " / " << password.Name;
    }
  }
}

}  // namespace
}  // namespace velmora
