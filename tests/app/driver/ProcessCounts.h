// What a long run watches for growth in another process: the handles and threads it holds.
#pragma once

#include <windows.h>

namespace velmora::uidriver {

// -1 when the system's handle table cannot be read.
int ProcessHandleCount(DWORD processId);
int ProcessThreadCount(DWORD processId);

}  // namespace velmora::uidriver
