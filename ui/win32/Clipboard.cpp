// The clipboard calls for copying the log.
#include "ui/win32/Clipboard.h"

#include <cstring>

#include "base/win32/Scoped.h"

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
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  void* target = memory ? GlobalLock(memory.Get()) : nullptr;
  if (!target)
    return false;
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory.Get());
  if (!OpenWithRetry(owner))
    return false;
  const bool placed = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory.Get());
  if (placed)
    memory.Release();  // the clipboard owns it once it is placed
  CloseClipboard();
  return placed;
}

}  // namespace velmora
