// Memory inside another process, for the messages whose pointers the system does not carry
// across processes (a tooltip's tool record, a tree view's item record).
#pragma once

#include <windows.h>

#include <cstddef>

#include "base/win32/Scoped.h"

namespace velmora::uidriver {

class TRemoteBuffer {
 public:
  // size bytes in the process that owns window.
  TRemoteBuffer(HWND window, size_t size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    FProcess.Reset(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (FProcess) {
      FAddress = VirtualAllocEx(FProcess.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
  }
  ~TRemoteBuffer() {
    if (FAddress != nullptr) {
      VirtualFreeEx(FProcess.Get(), FAddress, 0, MEM_RELEASE);
    }
  }
  TRemoteBuffer(const TRemoteBuffer&) = delete;
  TRemoteBuffer& operator=(const TRemoteBuffer&) = delete;

  bool Valid() const { return FAddress != nullptr; }
  // The buffer's address as the other process sees it.
  BYTE* Address() const { return static_cast<BYTE*>(FAddress); }
  bool Write(size_t offset, const void* data, size_t size) {
    return WriteProcessMemory(FProcess.Get(), Address() + offset, data, size, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t size) {
    return ReadProcessMemory(FProcess.Get(), Address() + offset, data, size, nullptr) != FALSE;
  }

 private:
  TScopedHandle FProcess;
  void* FAddress = nullptr;
};

}  // namespace velmora::uidriver
