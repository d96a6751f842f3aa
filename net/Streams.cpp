// The in-memory stream; the file stream lives with the platform code.
#include "net/Streams.h"

#include <algorithm>
#include <new>

namespace velmora {

bool TMemoryStream::Write(const char* data, size_t size) {
  if (static_cast<size_t>(FPosition) == FData.size()) {  // growing at the end: nothing to clear
    FData.append(data, size);
    FPosition = static_cast<int64_t>(FData.size());
    return true;
  }
  auto end = static_cast<size_t>(FPosition) + size;
  if (end > FData.size())
    FData.resize(end);
  std::copy_n(data, size, FData.begin() + FPosition);
  FPosition = static_cast<int64_t>(end);
  return true;
}

void TMemoryStream::SetPosition(int64_t position) {
  FPosition = std::clamp<int64_t>(position, 0, static_cast<int64_t>(FData.size()));
}

}  // namespace velmora
