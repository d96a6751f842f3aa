// The request text and the URL's parts where a loopback server cannot show them: the scheme's
// default ports, which no test may listen on.
#include <gtest/gtest.h>

#include "net/HTTPRequest.h"

namespace velmora::http {
namespace {

struct THostCase {
  const char* Url;
  const char* HostLine;
  const char* Target;
};

TEST(HttpRequestText, HostLineNamesThePortOnlyWhenItIsNotTheSchemesDefault) {
  const THostCase cases[] = {
      {"http://account.example/x", "Host: account.example\r\n", "/x"},
      {"http://account.example:80/x", "Host: account.example\r\n", "/x"},
      {"http://account.example:8080/x?a=b", "Host: account.example:8080\r\n", "/x?a=b"},
      {"account.example:8080", "Host: account.example:8080\r\n", "/"},
      {"HTTP://account.example", "Host: account.example\r\n", "/"},
      {"https://account.example:443/s", "Host: account.example\r\n", "/s"},
      {"https://account.example:80/s", "Host: account.example:80\r\n", "/s"},
      {"http://account.example?q=1", "Host: account.example\r\n", "/?q=1"},
  };
  for (const THostCase& c : cases) {
    SCOPED_TRACE(c.Url);
    TURL url = ParseURL(c.Url);
    EXPECT_EQ(url.Target, c.Target);
    TRequestSettings settings{"1.1", "Agent", 300, true, nullptr, 0};
    std::string text = BuildRequest("get", url, settings);
    EXPECT_EQ(text, std::string("GET ") + c.Target + " HTTP/1.1\r\n" + c.HostLine +
                        "Keep-Alive: 300\r\nConnection: keep-alive\r\nUser-Agent: Agent\r\n\r\n");
  }
}

TEST(HttpRequestText, Base64PadsTheLastGroup) {
  EXPECT_EQ(Base64(""), "");
  EXPECT_EQ(Base64("a"), "YQ==");
  EXPECT_EQ(Base64("ab"), "YWI=");
  EXPECT_EQ(Base64("abc"), "YWJj");
  EXPECT_EQ(Base64("\xff\xfe"), "//4=");
}

}  // namespace
}  // namespace velmora::http
