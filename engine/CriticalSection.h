// The connector's locks: a re-entrant critical section (Win32 CRITICAL_SECTION on Windows,
// std::recursive_mutex natively) and an RAII guard that holds it for one scope.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

namespace velmora {

class TCriticalSection {
 public:
  TCriticalSection();
  ~TCriticalSection();
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter();
  void Leave();
  // Takes the section when no other thread holds it; never waits.
  bool TryEnter();

 private:
#ifdef _WIN32
  // Room for a CRITICAL_SECTION of either Windows build; checked where it is used.
  alignas(void*) unsigned char FSection[48];
#else
  std::recursive_mutex FMutex;
#endif
};

class TLock {
 public:
  explicit TLock(TCriticalSection& section) : FSection(section) { FSection.Enter(); }
  ~TLock() { FSection.Leave(); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  TCriticalSection& FSection;
};

}  // namespace velmora
