// The one kind of bitmap the program and its tests draw into and read back: 32 bits a pixel,
// top-down, so that row 0 is the top row in memory as in the picture.
#pragma once

#include <windows.h>

#include "base/win32/Scoped.h"

namespace velmora {

// A DIB section of width x height pixels; bits receives its pixels. Empty on failure.
inline TScopedBitmap MakeTopDownDib(int width, int height, void*& bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bits = nullptr;
  return TScopedBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

}  // namespace velmora
