// The UI driver's line protocol: the escapes of its words and texts (LineProtocol.h).
#include "tests/app/driver/LineProtocol.h"

namespace velmora::uidriver {

namespace {

struct TEscape {
  char Plain;
  char Letter;  // the character after the backslash
};

constexpr TEscape kEscapes[] = {{'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}};

}  // namespace

std::string EscapeField(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const TEscape* escape = nullptr;
    for (const TEscape& candidate : kEscapes) {
      if (candidate.Plain == c) {
        escape = &candidate;
      }
    }
    if (escape != nullptr) {
      escaped += '\\';
      escaped += escape->Letter;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::optional<std::vector<std::string>> SplitRequest(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  std::vector<std::string> words;
  if (line.empty()) {
    return words;
  }
  words.emplace_back();
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      words.emplace_back();
    } else if (c != '\\') {
      words.back() += c;
    } else {
      const TEscape* escape = nullptr;
      for (const TEscape& candidate : kEscapes) {
        if (i + 1 < line.size() && candidate.Letter == line[i + 1]) {
          escape = &candidate;
        }
      }
      if (escape == nullptr) {
        return std::nullopt;
      }
      words.back() += escape->Plain;
      ++i;
    }
  }
  return words;
}

std::string ReplyLine(std::string_view status, std::string_view text) {
  return std::string(status) + '\t' + EscapeField(text) + '\n';
}

}  // namespace velmora::uidriver
