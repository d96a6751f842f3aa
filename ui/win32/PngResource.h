// Images kept as PNG resources (a fraction of the size of bitmaps), decoded with the system's
// imaging codecs (WIC) into bitmaps that AlphaBlend draws.
#pragma once

#include <windows.h>

#include "base/win32/Scoped.h"

namespace velmora {

// The PNG resource id (RCDATA) as a 32-bit top-down DIB section with premultiplied alpha;
// empty when it is missing or cannot be decoded.
TScopedBitmap LoadPngResource(HINSTANCE instance, int id);

// The PNG resource's width in pixels, read from its header without decoding; 0 when it is
// missing or no PNG.
int PngResourceWidth(HINSTANCE instance, int id);

}  // namespace velmora
