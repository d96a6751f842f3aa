// The system's own text for an error code, as the subscriber reads it in a message or the log.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// Without the line break and blanks the system ends it with; "System error N" when the
// system has no text for the code.
std::wstring SystemErrorText(DWORD error);

}  // namespace velmora
