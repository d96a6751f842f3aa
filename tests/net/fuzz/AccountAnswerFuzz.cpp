// libFuzzer target for storing the account answer: arbitrary text, repeated to around the
// 64 KiB cap when the first byte says so. A stored answer fills the fields from the start with its
// "|"-separated pieces and leaves the rest; one over the cap empties only the first field.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/AccountInfo.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  std::wstring answer;
  for (size_t i = 1; i < size; ++i)
    answer += static_cast<wchar_t>(data[i] == '!' ? L'|' : data[i]);
  // Repeated to within a kilobyte of the cap either way, the cap itself included.
  if ((data[0] & 1) && !answer.empty()) {
    const size_t target = kMaxAccountAnswerBytes - 1024 + (data[0] >> 1) * 16;
    while (answer.size() < target)
      answer += answer.substr(0, std::min(answer.size(), target - answer.size()));
  }

  TUserInfo info;
  for (size_t i = 0; i < info.size(); ++i)
    info[i] = L"old" + std::to_wstring(i);
  const TUserInfo before = info;
  const bool changed = StoreAccountAnswer(answer, info);
  if (changed != (info != before))
    std::abort();
  if (answer.size() > kMaxAccountAnswerBytes) {
    TUserInfo expected = before;
    expected[ufErrorCode].clear();
    if (info != expected)
      std::abort();
    return 0;
  }
  // The stored pieces, joined again, are the answer's start; the fields after them unchanged.
  std::wstring joined;
  size_t pieces = 1;
  for (wchar_t c : answer)
    pieces += c == L'|';
  for (size_t i = 0; i < info.size(); ++i) {
    if (i >= pieces) {
      if (info[i] != before[i])
        std::abort();
      continue;
    }
    joined += (i ? L"|" : L"") + info[i];
  }
  if (answer.compare(0, joined.size(), joined) != 0)
    std::abort();
  if (pieces <= info.size() && joined != answer)
    std::abort();
  return 0;
}
