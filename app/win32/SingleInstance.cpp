// The single-instance mutex.
#include "app/win32/SingleInstance.h"

namespace velmora::app {

TSingleInstance::TSingleInstance(const wchar_t* name) {
  FMutex = CreateMutexW(nullptr, TRUE, name);
  FAlreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
}

TSingleInstance::~TSingleInstance() {
  Release();
}

void TSingleInstance::Release() {
  if (FMutex == nullptr) {
    return;
  }
  ReleaseMutex(FMutex);
  CloseHandle(FMutex);
  FMutex = nullptr;
}

}  // namespace velmora::app
