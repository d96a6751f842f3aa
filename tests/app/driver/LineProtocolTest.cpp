// The UI driver's line protocol: words and texts with the characters that would end a line or
// split a word come through whole, and a request the driver cannot read is refused.
#include "tests/app/driver/LineProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::uidriver {
namespace {

struct TRequestCase {
  const char* Line;
  std::vector<std::string> Words;
};

TEST(LineProtocol, RequestLinesSplitIntoTheirWords) {
  const TRequestCase cases[] = {
      {"windows", {"windows"}},
      {"text\tbConnect", {"text", "bConnect"}},
      {"--expect\t\xD0\x9F\xD0\xBE\xD0\xB4\ttext\tbConnect",
       {"--expect", "\xD0\x9F\xD0\xBE\xD0\xB4", "text", "bConnect"}},
      {"settext\tebLogin\t", {"settext", "ebLogin", ""}},
      {"settext\tebPassword\tpa ss\"w", {"settext", "ebPassword", "pa ss\"w"}},
      {"screenshot\tZ:\\\\tmp\\\\a.bmp", {"screenshot", "Z:\\tmp\\a.bmp"}},
      {"x\\ty\\nz\\r\\\\", {"x\ty\nz\r\\"}},
      {"windows\r", {"windows"}},
      {"", {}},
  };
  for (const TRequestCase& c : cases) {
    SCOPED_TRACE(c.Line);
    const auto words = SplitRequest(c.Line);
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(*words, c.Words);
  }
}

TEST(LineProtocol, StrayBackslashRefusesTheRequest) {
  for (const char* line : {"text\\", "text\\x", "a\\\\\\"}) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(SplitRequest(line).has_value());
  }
}

TEST(LineProtocol, EveryWordComesBackFromItsEscape) {
  const std::string words[] = {"",
                               "plain",
                               "tab\there",
                               "lines\r\nend\r\n",
                               "back\\slash\\",
                               "\\t is not a tab",
                               "\xD0\x9B\xD0\xBE\xD0\xB3"};
  for (const std::string& word : words) {
    SCOPED_TRACE(word);
    const auto split = SplitRequest("cmd\t" + EscapeField(word));
    ASSERT_TRUE(split.has_value());
    EXPECT_EQ(*split, (std::vector<std::string>{"cmd", word}));
  }
}

TEST(LineProtocol, ReplyIsOneLineWhateverTheText) {
  EXPECT_EQ(ReplyLine(kReplyOk, "1"), "ok\t1\n");
  EXPECT_EQ(ReplyLine(kReplyError, "no window titled Velmora Connector"),
            "error\tno window titled Velmora Connector\n");
  EXPECT_EQ(ReplyLine(kReplyExpired, "first\r\nsecond\r\n"), "expired\tfirst\\r\\nsecond\\r\\n\n");
  EXPECT_EQ(ReplyLine(kReplyOk, "a\tb\\c"), "ok\ta\\tb\\\\c\n");
  EXPECT_EQ(ReplyLine(kReplyOk, ""), "ok\t\n");
}

}  // namespace
}  // namespace velmora::uidriver
