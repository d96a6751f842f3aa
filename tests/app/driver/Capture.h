// The UI driver's captures of what the screen shows: a window or control saved as a bitmap
// file, and which of the connect button's images is drawn. The handlers answer the capture
// commands of the command table (CommandTable.cpp).
#pragma once

#include "tests/app/driver/Command.h"

namespace velmora::uidriver {

TResult CaptureScreenshot(const TCall& call);
TResult CaptureImage(const TCall& call);

}  // namespace velmora::uidriver
