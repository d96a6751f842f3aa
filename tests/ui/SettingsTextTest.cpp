// Stored settings: how Booleans and the autostart command read and write.
#include "ui/SettingsText.h"

#include <gtest/gtest.h>

#include "ui/ConnectionLogic.h"

namespace velmora {
namespace {

TEST(StoredBoolean, IntegersDecideOtherTextsGiveTheDefault) {
  struct TCase {
    const wchar_t* Text;
    bool Fallback;
    bool Expected;
  };
  const TCase cases[] = {
      {L"1", false, true},  {L"0", true, false},  {L"2", false, true},
      {L"-1", false, true}, {L"00", true, false}, {L"", true, true},
      {L"", false, false},  {L"yes", true, true}, {L"1x", false, false},
      {L" 1", false, true}, {L"+0", true, false}, {L"99999999999", false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "len " << std::wstring(c.Text).size() << " fallback " << c.Fallback);
    EXPECT_EQ(ParseStoredBoolean(c.Text, c.Fallback), c.Expected);
  }
  EXPECT_STREQ(StoredBooleanText(true), L"1");
  EXPECT_STREQ(StoredBooleanText(false), L"0");
}

TEST(StoredBoolean, IntegerParserRejectsWhatIsNotAWholeNumber) {
  EXPECT_EQ(ParseInteger(L"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInteger(L"2147483647"), 2147483647);
  EXPECT_FALSE(ParseInteger(L"2147483648").has_value());
  EXPECT_FALSE(ParseInteger(L"-").has_value());
  EXPECT_FALSE(ParseInteger(L"1 ").has_value());
}

TEST(Autostart, CommandIsThePathInQuotes) {
  EXPECT_EQ(AutostartCommand(L"C:\\Program Files\\Velmora\\Ostrada.exe"),
            L"\"C:\\Program Files\\Velmora\\Ostrada.exe\"");
}

TEST(YesNoLists, AnyIndexButZeroIsOn) {
  EXPECT_FALSE(ListIndexIsOn(0));
  EXPECT_TRUE(ListIndexIsOn(1));
  EXPECT_TRUE(ListIndexIsOn(-1));  // nothing selected counts as on, like any other index
  EXPECT_EQ(ListIndexFor(true), 1);
  EXPECT_EQ(ListIndexFor(false), 0);
}

}  // namespace
}  // namespace velmora
