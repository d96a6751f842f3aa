// The clipboard calls for copying the log.
#include "ui/win32/Clipboard.h"

#include <cstring>

namespace velmora {
namespace {

constexpr int kOpenTries = 10;
constexpr DWORD kRetryMs = 50;

bool OpenWithRetry(HWND owner) {
  for (int i = 0; i < kOpenTries; ++i) {
    if (OpenClipboard(owner))
      return true;
    Sleep(kRetryMs);
  }
  return false;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory)
    return false;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenWithRetry(owner)) {
    GlobalFree(memory);
    return false;
  }
  bool placed = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
  if (!placed)
    GlobalFree(memory);  // the clipboard owns it only once it is placed
  CloseClipboard();
  return placed;
}

}  // namespace velmora
