// What the system tells of another process's handles and threads (ProcessCounts.h).
#include "tests/app/driver/ProcessCounts.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/win32/Scoped.h"
#include "base/win32/SystemFunction.h"

namespace velmora::uidriver {

namespace {

// The handles a process holds, from the system's handle table: Wine answers
// GetProcessHandleCount for the calling process only.
struct TSystemHandleEntry {
  ULONG OwnerProcessId;
  BYTE ObjectType;
  BYTE Flags;
  USHORT Value;
  PVOID Object;
  ULONG Access;
};

}  // namespace

int ProcessHandleCount(DWORD processId) {
  using TQuery = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  static const auto query = SystemFunction<TQuery>(L"ntdll.dll", "NtQuerySystemInformation");
  if (query == nullptr) {
    return -1;
  }
  std::vector<BYTE> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status =
        query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
      continue;
    }
    if (status < 0) {
      return -1;
    }
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof(count));
    const auto* entries =
        reinterpret_cast<const TSystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    int owned = 0;
    for (ULONG i = 0; i < count; ++i) {
      owned += entries[i].OwnerProcessId == processId ? 1 : 0;
    }
    return owned;
  }
}

int ProcessThreadCount(DWORD processId) {
  int threads = 0;
  const TScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (snapshot) {
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry)) {
      threads += entry.th32OwnerProcessID == processId ? 1 : 0;
    }
  }
  return threads;
}

}  // namespace velmora::uidriver
