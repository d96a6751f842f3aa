// libFuzzer target for the answer reader: arbitrary server bytes, cut into arbitrary receive
// sizes, must never crash, hang or break the body limit; a second answer is read from the rest
// as on a kept-alive connection. The URL parser and request text get the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/HTTPAnswer.h"
#include "net/HTTPRequest.h"

namespace {

using namespace velmora;

// Hands out the input in receives of one fixed size, then ends like a closed connection or
// a read time-out.
class TFuzzSource : public IByteSource {
 public:
  TFuzzSource(const uint8_t* data, size_t size, size_t step, bool endsInTimeout)
      : FData(data), FSize(size), FStep(step), FEndsInTimeout(endsInTimeout) {}

  TRecvResult Recv(char* buffer, size_t size, int, size_t& received) override {
    received = 0;
    if (FDone == FSize)
      return FEndsInTimeout ? TRecvResult::Timeout : TRecvResult::Closed;
    received = std::min({size, FStep, FSize - FDone});
    for (size_t i = 0; i < received; ++i)
      buffer[i] = static_cast<char>(FData[FDone + i]);
    FDone += received;
    return TRecvResult::Data;
  }

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FStep;
  bool FEndsInTimeout;
  size_t FDone = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const uint8_t control = data[0];
  const bool isHead = control & 1;
  const size_t step = (control >> 2) == 0 ? 65536 : (control >> 2);
  TFuzzSource source(data + 1, size - 1, step, control & 2);
  int64_t counted = 0;
  http::TBufferedReader reader(source, 0, [&](size_t count) {
    counted += static_cast<int64_t>(count);
    return true;
  });

  std::vector<TCookie> cookies;
  for (int answerIndex = 0; answerIndex < 2; ++answerIndex) {
    http::THTTPAnswer answer;
    bool completed = http::ReadAnswer(reader, isHead && answerIndex == 0, answer);
    if (completed && static_cast<int64_t>(answer.Body.size()) > kMaxBodyBytes)
      std::abort();
    if (counted != reader.Received() || counted > static_cast<int64_t>(size))
      std::abort();
    http::StoreCookies(answer.Headers, cookies);
    if (!completed)
      break;
  }

  std::string url(reinterpret_cast<const char*>(data), size);
  http::TURL parsed = http::ParseURL(url);
  http::TRequestSettings settings{"1.1", "Agent", 300, true, &cookies, 0};
  std::string request = http::BuildRequest("GET", parsed, settings);
  if (request.size() < parsed.Target.size())
    std::abort();
  return 0;
}
