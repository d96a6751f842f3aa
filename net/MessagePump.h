// Lets the calling thread's pending window messages be handled during a transfer.
#pragma once

namespace velmora::http {

// Windows: dispatches what waits in this thread's queue. Elsewhere: nothing to do.
void ProcessPendingMessages();

}  // namespace velmora::http
