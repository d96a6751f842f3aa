// libFuzzer target for the account request from a hostile login and password (cp1251 bytes,
// a 0xFF byte between them): the request is always exactly one well-formed request line and
// the fixed headers, its query has exactly the three keys, and decoding the values gives the
// login and password back.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/CodePage.h"
#include "engine/AccountInfo.h"
#include "net/HTTPRequest.h"

using namespace velmora;

namespace {

// Every "%" in the query is an escape: a value's own "%" is encoded too.
std::string Decoded(const std::string& value) {
  std::string bytes;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '%') {
      bytes += value[i];
      continue;
    }
    if (i + 2 >= value.size() || !std::isxdigit(static_cast<unsigned char>(value[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(value[i + 2])))
      std::abort();
    bytes += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
    i += 2;
  }
  return bytes;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\xFF');
  // The values as the program holds them: the 1251 bytes read as text (0xFF is "я" there, so
  // the cut byte itself never appears in them).
  const std::wstring login = AnsiBytesToWide(input.substr(0, cut));
  const std::wstring password =
      cut == std::string::npos ? std::wstring() : AnsiBytesToWide(input.substr(cut + 1));

  const std::string url = WideToAnsi(AccountRequestUrl(L"127.0.0.1:18931", login, password, 6));
  const http::TURL target = http::ParseURL(url);
  const std::string request =
      http::BuildRequest("GET", target, {"1.1", "Mozilla/5.0", 300, true, nullptr, 0});

  const std::string expectedHeaders =
      "Host: 127.0.0.1:18931\r\nKeep-Alive: 300\r\nConnection: keep-alive\r\n"
      "User-Agent: Mozilla/5.0\r\n\r\n";
  const size_t lineEnd = request.find("\r\n");
  if (lineEnd == std::string::npos || request.substr(lineEnd + 2) != expectedHeaders)
    std::abort();
  const std::string line = request.substr(0, lineEnd);
  const std::string prefix = "GET /connector/connector.php?";
  const std::string suffix = " HTTP/1.1";
  if (line.compare(0, prefix.size(), prefix) != 0 ||
      line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0)
    std::abort();
  const std::string query = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
  for (const char c : query) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == ' ' || c == '#' || c == '+')
      std::abort();
  }
  const std::vector<std::string> pairs = Split(query, '&');
  if (pairs.size() != 3 || pairs[0].rfind("user=", 0) != 0 || pairs[1].rfind("pass=", 0) != 0 ||
      pairs[2] != "ver=6")
    std::abort();
  if (Decoded(pairs[0].substr(5)) != WideToAnsi(login) ||
      Decoded(pairs[1].substr(5)) != WideToAnsi(password))
    std::abort();
  return 0;
}
