// The main window's companion: the two timers of the connection page, the image lists of its
// buttons and the tray menu. Created right after the window, destroyed after it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "base/win32/Scoped.h"
#include "ui/ConnectionLogic.h"

namespace velmora {

// A window timer that can be switched on and off like a component.
class TTimer {
 public:
  TTimer(UINT_PTR id, UINT interval) : FId(id), FInterval(interval) {}
  void SetOwner(HWND owner) { FOwner = owner; }
  bool Enabled() const { return FEnabled; }
  // Switching on a running timer leaves it running as it is.
  void SetEnabled(bool enabled);
  UINT_PTR Id() const { return FId; }

 private:
  HWND FOwner = nullptr;
  UINT_PTR FId;
  UINT FInterval;
  bool FEnabled = false;
};

class TDataModuleX {
 public:
  explicit TDataModuleX(HINSTANCE instance);
  ~TDataModuleX();
  TDataModuleX(const TDataModuleX&) = delete;
  TDataModuleX& operator=(const TDataModuleX&) = delete;

  // Creates the timers' window, the image lists for dpi and the tray menu.
  bool Create(UINT dpi);
  // Loads the images again at the size for dpi (after the window's DPI changed).
  void LoadImages(UINT dpi);

  void tmrEnableRefreshTimer();
  void tmrReconnectTimer();
  void pmTrayPopup();
  void miShowHideClick();
  void miCloseAppClick();

  TScopedImageList il32;    // bConnect: 0 grey, 1 green, 2 red
  TScopedImageList il16;    // the clear sign of the edits' buttons
  TScopedImageList il16_2;  // the circular arrows of bRefresh
  TScopedMenu pmTray;
  TTimer tmrEnableRefresh{1, 1000};  // runs from a click of bRefresh until it is enabled again
  TTimer tmrReconnect{2, kReconnectDelayMs};

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE FInstance;
  HWND FHandle = nullptr;
};

extern TDataModuleX* DataModuleX;
// Tick of the last manual refresh; the module's start tick until the first click.
extern uint32_t LastRefreshTick;
// Automatic-redial bookkeeping; read and written only by the notification handler.
extern TReconnectState ReconnectState;

}  // namespace velmora
