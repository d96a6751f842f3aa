// The UI driver's captures (Capture.h).
#include "tests/app/driver/Capture.h"

#include <optional>
#include <vector>

#include "base/win32/Dib.h"
#include "base/win32/Scoped.h"
#include "tests/app/driver/Find.h"

namespace velmora::uidriver {

namespace {

// The screen's pixels of a rectangle (the program's windows are drawn on the display).
struct TCapture {
  int Width = 0;
  int Height = 0;
  std::vector<BYTE> Pixels;  // 32-bit BGRA rows, top-down
};

TCapture CaptureScreen(const RECT& rect) {
  TCapture capture;
  capture.Width = rect.right - rect.left;
  capture.Height = rect.bottom - rect.top;
  if (capture.Width <= 0 || capture.Height <= 0) {
    return capture;
  }
  const TWindowDC screen(nullptr);
  const TMemoryDC memory(CreateCompatibleDC(screen.Get()));
  void* bits = nullptr;
  const TScopedBitmap bitmap = MakeTopDownDib(capture.Width, capture.Height, bits);
  if (bitmap) {
    const TSelection selected(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, capture.Width, capture.Height, screen.Get(), rect.left, rect.top,
           SRCCOPY);
    GdiFlush();
    const BYTE* first = static_cast<const BYTE*>(bits);
    capture.Pixels.assign(first, first + static_cast<size_t>(capture.Width) * capture.Height * 4);
  }
  return capture;
}

TCapture CaptureWindow(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return CaptureScreen(rect);
}

// Which of the connect button's three images shows: a clearly green or red patch, else grey.
std::wstring ImageColour(const TCapture& capture) {
  int green = 0;
  int red = 0;
  for (size_t i = 0; i + 3 < capture.Pixels.size(); i += 4) {
    const int b = capture.Pixels[i];
    const int g = capture.Pixels[i + 1];
    const int r = capture.Pixels[i + 2];
    if (g > 100 && g > r + 60 && g > b + 60) {
      ++green;
    } else if (r > 100 && r > g + 60 && r > b + 60) {
      ++red;
    }
  }
  constexpr int kPatch = 30;  // well below a 16 x 16 image, well above stray pixels
  if (green >= kPatch && green >= red) {
    return L"green";
  }
  if (red >= kPatch) {
    return L"red";
  }
  return L"grey";
}

// A 24-bit bottom-up BMP file of the capture.
bool SaveBitmap(const std::wstring& path, const TCapture& capture) {
  if (capture.Pixels.empty()) {
    return false;
  }
  const int rowBytes = capture.Width * 3 + ((4 - capture.Width * 3 % 4) % 4);
  const DWORD imageSize = static_cast<DWORD>(rowBytes) * capture.Height;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + imageSize;
  header.biSize = sizeof(header);
  header.biWidth = capture.Width;
  header.biHeight = capture.Height;  // bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = imageSize;
  std::vector<BYTE> data(imageSize, 0);
  for (int y = 0; y < capture.Height; ++y) {
    const BYTE* source =
        &capture.Pixels[static_cast<size_t>(capture.Height - 1 - y) * capture.Width * 4];
    BYTE* target = &data[static_cast<size_t>(y) * rowBytes];
    for (int x = 0; x < capture.Width; ++x) {
      target[x * 3] = source[x * 4];
      target[x * 3 + 1] = source[x * 4 + 1];
      target[x * 3 + 2] = source[x * 4 + 2];
    }
  }
  const TScopedHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) {
    return false;
  }
  DWORD written = 0;
  return WriteFile(out.Get(), &file, sizeof(file), &written, nullptr) &&
         WriteFile(out.Get(), &header, sizeof(header), &written, nullptr) &&
         WriteFile(out.Get(), data.data(), imageSize, &written, nullptr);
}

}  // namespace

TResult CaptureScreenshot(const TCall& call) {
  // The whole window, or the control named after the file.
  HWND target = call.Main;
  if (call.Args.size() >= 3) {
    const std::optional<int> id = ParseId(call.Args[2]);
    target = id ? FindControl(call.Main, *id) : nullptr;
    if (target == nullptr) {
      return Error(L"no control " + call.Args[2]);
    }
  }
  SetForegroundWindow(call.Main);
  const std::wstring& path = call.Args[1];
  return SaveBitmap(path, CaptureWindow(target)) ? Done(path) : Error(L"cannot save " + path);
}

TResult CaptureImage(const TCall& call) {
  SetForegroundWindow(call.Main);
  return Done(ImageColour(CaptureWindow(call.Control)));
}

}  // namespace velmora::uidriver
