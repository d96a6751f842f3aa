// Counts the handles this process holds, to show that a run leaves none behind. Wine's
// GetProcessHandleCount always reports 0, so the count comes from the system's handle list.
#pragma once

#include <windows.h>

#include <vector>

#include "base/win32/SystemFunction.h"

namespace velmora::testing {

inline ULONG OpenHandleCount() {
  struct TEntry {
    ULONG ProcessId;
    BYTE ObjectType;
    BYTE Flags;
    USHORT Handle;
    PVOID Object;
    ACCESS_MASK Access;
  };
  struct TList {
    ULONG Count;
    TEntry Entries[1];
  };
  using TQuery = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);

  DWORD reported = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported != 0)
    return reported;

  static const auto query = SystemFunction<TQuery>(L"ntdll.dll", "NtQuerySystemInformation");
  std::vector<char> buffer(1 << 16);
  ULONG needed = 0;
  LONG status = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &needed)) == kLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0)
    return 0;
  const auto* list = reinterpret_cast<const TList*>(buffer.data());
  ULONG count = 0;
  for (ULONG index = 0; index < list->Count; ++index) {
    if (list->Entries[index].ProcessId == GetCurrentProcessId())
      ++count;
  }
  return count;
}

}  // namespace velmora::testing
