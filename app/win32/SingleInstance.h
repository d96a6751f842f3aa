// The named mutex that keeps the program to one running instance per session.
#pragma once

#include <windows.h>

#include "base/win32/Scoped.h"

namespace velmora::app {

class TSingleInstance {
 public:
  // Takes the mutex with initial ownership.
  explicit TSingleInstance(const wchar_t* name);
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // Another instance created the mutex first.
  bool AlreadyRunning() const { return FAlreadyRunning; }
  // Gives the mutex up and closes it, once; for a second instance the release fails harmlessly.
  void Release();

 private:
  TScopedHandle FMutex;
  bool FAlreadyRunning = false;
};

}  // namespace velmora::app
