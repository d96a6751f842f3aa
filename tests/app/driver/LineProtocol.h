// The UI driver's line protocol, for a test session that keeps one driver running: one request
// line in, one reply line out, UTF-8 both ways.
//   request: the words of a one-shot command line (options, command, arguments), tab-separated
//   reply:   a status (kReplyOk, kReplyExpired, kReplyError), a tab, the command's text
// A backslash, tab, line feed or carriage return inside a word or the text is written \\, \t,
// \n or \r, so no text a control shows can end a line or split a word early.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::uidriver {

constexpr char kReplyOk[] = "ok";            // the command succeeded (and read what was awaited)
constexpr char kReplyExpired[] = "expired";  // the awaited text did not come: the last reading
constexpr char kReplyError[] = "error";      // the command failed: why

std::string EscapeField(std::string_view text);

// The words of a request line given without its line feed (a carriage return before it is
// dropped too); nullopt when a backslash starts no known escape.
std::optional<std::vector<std::string>> SplitRequest(std::string_view line);

// One reply line, its line feed included.
std::string ReplyLine(std::string_view status, std::string_view text);

}  // namespace velmora::uidriver
