// Dispatches the calling thread's pending window messages; a thread without windows has none.
#include "net/MessagePump.h"

#include <windows.h>

namespace velmora::http {

void ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {  // leave the quit request for the message loop
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace velmora::http
