// The size query's readings of a HEAD answer, apart from the exchange so that they can be
// tested and fuzzed on their own: the two ways of finding the length, and the total size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::http {

// A decimal integer after optional leading blanks, with an optional sign; -1 when the text is
// anything else or does not fit 64 bits.
int64_t ParseSizeValue(const std::string& text);

// GetSize2's reading: "Content-Length" (any case) in the header lines read as name=value pairs,
// the first colon of a line becoming "=" unless an "=" stands before it; -1 when absent.
int64_t ContentLengthValue(const std::vector<std::string>& headers);

// GetSize's reading: the digits, in order, of the first line (the status line first) whose
// lower-cased text holds "content-length"; nullopt when no line does.
std::optional<std::string> SizeLineDigits(const std::string& resultLine,
                                          const std::vector<std::string>& headers);

// The expected total of a transfer: the body's length and the header block; -1 (unknown) when
// the sum would not fit, as only an impossible length gives.
int64_t TransferSize(int64_t length, int64_t headerLength);

}  // namespace velmora::http
