// TCriticalSection on a Win32 CRITICAL_SECTION kept inside the object.
#include "engine/CriticalSection.h"

#include <windows.h>

namespace velmora {

namespace {
static_assert(sizeof(CRITICAL_SECTION) <= 48 && alignof(CRITICAL_SECTION) <= alignof(void*));

CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
}  // namespace

TCriticalSection::TCriticalSection() {
  InitializeCriticalSection(Section(FSection));
}
TCriticalSection::~TCriticalSection() {
  DeleteCriticalSection(Section(FSection));
}
void TCriticalSection::Enter() {
  EnterCriticalSection(Section(FSection));
}
void TCriticalSection::Leave() {
  LeaveCriticalSection(Section(FSection));
}
bool TCriticalSection::TryEnter() {
  return TryEnterCriticalSection(Section(FSection)) != 0;
}

}  // namespace velmora
