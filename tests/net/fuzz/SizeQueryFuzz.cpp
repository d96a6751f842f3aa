// libFuzzer target for the size query's readings: arbitrary header lines (the first one taken
// as the status line) through both ways of finding the length and the total with the header
// block. Nothing may overflow (UBSan watches) and a known size is never below its parts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "net/SizeQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(data[i]);
  }
  const std::string resultLine = lines.front();
  const std::vector<std::string> headers(lines.begin() + 1, lines.end());
  // The header block as the client counts it: every line with CR LF, and the empty line.
  int64_t headerLength = 2;
  for (const std::string& line : lines)
    headerLength += static_cast<int64_t>(line.size()) + 2;

  auto check = [&](int64_t length) {
    if (length < 0)
      return;
    const int64_t total = velmora::http::TransferSize(length, headerLength);
    if (total != -1 && (total < length || total < headerLength))
      std::abort();
    if (total == -1 && length <= std::numeric_limits<int64_t>::max() - headerLength)
      std::abort();
  };
  check(velmora::http::ContentLengthValue(headers));
  if (const auto digits = velmora::http::SizeLineDigits(resultLine, headers)) {
    for (const char c : *digits) {
      if (c < '0' || c > '9')
        std::abort();
    }
    check(velmora::http::ParseSizeValue(*digits));
  }
  return 0;
}
