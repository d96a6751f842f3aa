// The program's icon in the notification area: its data, adding, the balloon, removing, and
// adding it again when Explorer restarts, so it never goes missing nor stays behind as a ghost.
#pragma once

#include <windows.h>

#include <string>

#include "base/win32/Scoped.h"

namespace velmora {

class TTrayIcon {
 public:
  TTrayIcon();
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // The icon of owner, with its callback message, image (owned from now on) and tooltip.
  // Lets Explorer's "TaskbarCreated" through to the owner although the program runs elevated.
  void Create(HWND owner, UINT id, UINT callbackMessage, HICON icon, const std::wstring& tip);
  bool Add();
  // Explorer announced itself ("TaskbarCreated", also after DPI or taskbar changes): adds the
  // icon again; when it is still there, refreshes it instead.
  void Readd();
  // Removes the icon if it was added; the image is kept for a later Add.
  void Remove();
  void Balloon(const std::wstring& text, UINT timeoutMs);

  bool Added() const { return FAdded; }
  UINT TaskbarCreatedMessage() const { return FTaskbarCreated; }

 private:
  HWND FOwner = nullptr;
  UINT FId = 0;
  UINT FCallback = 0;
  TScopedIcon FIcon;
  std::wstring FTip;
  UINT FTaskbarCreated = 0;
  bool FAdded = false;
};

}  // namespace velmora
