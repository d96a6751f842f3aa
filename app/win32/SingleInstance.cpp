// The single-instance mutex.
#include "app/win32/SingleInstance.h"

namespace velmora::app {

TSingleInstance::TSingleInstance(const wchar_t* name) {
  FMutex.Reset(CreateMutexW(nullptr, TRUE, name));
  FAlreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
}

TSingleInstance::~TSingleInstance() {
  Release();
}

void TSingleInstance::Release() {
  if (!FMutex) {
    return;
  }
  ReleaseMutex(FMutex.Get());
  FMutex.Close();
}

}  // namespace velmora::app
