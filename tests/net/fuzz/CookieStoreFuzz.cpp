// libFuzzer target for the cookie store across answers: the input is a run of answers'
// header lines (a zero byte ends an answer). The store never holds more than 50 cookies, none
// longer than 4096 bytes, no name twice and no empty name, and each answer costs it linear time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "net/HTTPAnswer.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<TCookie> cookies;
  std::vector<std::string> headers(1);
  auto store = [&] {
    http::StoreCookies(headers, cookies);
    if (cookies.size() > kMaxCookies)
      std::abort();
    std::set<std::string> names;
    for (const TCookie& cookie : cookies) {
      if (cookie.Name.empty() || cookie.Name.size() + 1 + cookie.Value.size() > kMaxCookieBytes)
        std::abort();
      if (!names.insert(cookie.Name).second)
        std::abort();
    }
    headers.assign(1, std::string());
  };
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\0') {
      store();
    } else if (c == '\n') {
      headers.emplace_back();
    } else {
      headers.back() += c;
    }
  }
  store();
  return 0;
}
