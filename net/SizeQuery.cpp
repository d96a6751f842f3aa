// Reading the length of a HEAD answer and the transfer's expected size, without overflow.
#include "net/SizeQuery.h"

#include <cctype>
#include <limits>

namespace velmora::http {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

int64_t ParseSizeValue(const std::string& text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos)
    return -1;
  bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+')
    ++i;
  if (i == text.size())
    return -1;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return -1;
    if (value > (std::numeric_limits<int64_t>::max() - 9) / 10)
      return -1;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

int64_t ContentLengthValue(const std::vector<std::string>& headers) {
  for (const std::string& line : headers) {
    size_t colon = line.find(':');
    size_t equals = line.find('=');
    size_t split = equals < colon ? equals : colon;
    if (split == std::string::npos)
      continue;
    if (EqualNoCase(line.substr(0, split), "Content-Length")) {
      return ParseSizeValue(line.substr(split + 1));
    }
  }
  return -1;
}

std::optional<std::string> SizeLineDigits(const std::string& resultLine,
                                          const std::vector<std::string>& headers) {
  std::vector<std::string> lines{resultLine};
  lines.insert(lines.end(), headers.begin(), headers.end());
  for (const std::string& line : lines) {
    std::string lower = line;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("content-length") == std::string::npos)
      continue;
    std::string digits;
    for (char c : line) {
      if (c >= '0' && c <= '9')
        digits += c;
    }
    return digits;
  }
  return std::nullopt;
}

int64_t TransferSize(int64_t length, int64_t headerLength) {
  if (length > std::numeric_limits<int64_t>::max() - headerLength)
    return -1;
  return length + headerLength;
}

}  // namespace velmora::http
