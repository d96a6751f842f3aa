// The connector's re-entrant lock natively: a std::recursive_mutex.
#include "engine/CriticalSection.h"

namespace velmora {

TCriticalSection::TCriticalSection() = default;
TCriticalSection::~TCriticalSection() = default;

void TCriticalSection::Enter() {
  FMutex.lock();
}

void TCriticalSection::Leave() {
  FMutex.unlock();
}

bool TCriticalSection::TryEnter() {
  return FMutex.try_lock();
}

}  // namespace velmora
