// Entry of Ostrada.exe: elevation first, then the single-instance mutex, the main window
// and its message loop, and the teardown in an order that lets the connector's threads end
// before anything they use goes away.
#include <windows.h>

#include <string>

#include "app/win32/ADPrivileges.h"
#include "app/Elevation.h"
#include "app/win32/InstalledEntry.h"
#include "app/win32/RelaunchMarker.h"
#include "app/win32/SingleInstance.h"
#include "engine/AppTitle.h"
#include "engine/ExeVersion.h"
#include "ui/UpdateScript.h"
#include "ui/win32/ufrmMain.h"

namespace {

constexpr wchar_t kMutexName[] = L"brannockconnector";

// Runs the message loop until the main window closes.
void RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (velmora::IsMainFormDialogMessage(message)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  using namespace velmora;
  using namespace velmora::app;

  // Before any window exists: a relaunch must leave no trace on the screen. A copy that the
  // relaunch started and that still has no rights must not relaunch again.
  switch (DecideElevation(IsAdministrator() != FALSE, StartedByRelaunch())) {
    case TElevationStep::Relaunch:
      RunElevated();
      return 0;
    case TElevationStep::GiveUp:
      MessageBoxW(nullptr, kNeedsAdministratorText, kApplicationTitle,
                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
      return 1;
    case TElevationStep::Run:
      break;
  }
  std::wstring privilegeError;
  if (!EnableDebugPrivilege(true, &privilegeError) && !privilegeError.empty()) {
    MessageBoxW(nullptr, privilegeError.c_str(), kApplicationTitle,
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
  }

  // A program without its version record cannot tell the account server its version:
  // start-up ends with the reason, as an unhandled start-up error would.
  try {
    LoadExeVersion();
  } catch (const EExeVersionError& error) {
    MessageBoxW(nullptr, error.Message().c_str(), kApplicationTitle,
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
  }

  TSingleInstance instanceLock(kMutexName);
  if (instanceLock.AlreadyRunning()) {
    PostMessageW(HWND_BROADCAST, ShowFormMsg, 0, 0);
    instanceLock.Release();
    return 0;
  }

  const bool created = CreateMainForms(instance, showCommand);
  if (created) {
    RecordInstalledVersion();
    // The copy that an update's swap left: deleted once this program runs, again at the next
    // start if something still holds it.
    RemoveLeftoverOldProgram(OwnModulePath());
    RunMessageLoop();
  }
  // The mutex goes first, so a start that comes in meanwhile finds no running instance;
  // destroying the window then ends the connector's threads.
  instanceLock.Release();
  DestroyMainForms();
  return created ? 0 : 1;  // a window that could not be created is no successful run
}
