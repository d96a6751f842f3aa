// The relaunch mark: an event in the session's namespace named after the first copy's process
// id; the relaunched copy finds its starter through a process snapshot. A process started
// through the elevation service has the caller as its parent, as one started directly has.
#include "app/win32/RelaunchMarker.h"

#include <tlhelp32.h>

#include <string>

namespace velmora::app {

namespace {

std::wstring MarkerName(DWORD processId) {
  return L"Local\\VelmoraConnectorRelaunch-" + std::to_wstring(processId);
}

DWORD ParentProcessId() {
  const TScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot)
    return 0;
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  return parent;
}

}  // namespace

TRelaunchMarker::TRelaunchMarker()
    : FEvent(CreateEventW(nullptr, TRUE, FALSE, MarkerName(GetCurrentProcessId()).c_str())) {}

void TRelaunchMarker::WaitSeen(HANDLE startedProcess, DWORD ms) const {
  if (!FEvent || !startedProcess)
    return;
  const HANDLE handles[] = {FEvent.Get(), startedProcess};
  WaitForMultipleObjects(2, handles, FALSE, ms);
}

bool StartedByRelaunch() {
  const DWORD parent = ParentProcessId();
  if (parent == 0)
    return false;
  const TScopedHandle marker(OpenEventW(EVENT_MODIFY_STATE, FALSE, MarkerName(parent).c_str()));
  if (!marker)
    return false;
  SetEvent(marker.Get());  // the first copy may end now
  return true;
}

}  // namespace velmora::app
