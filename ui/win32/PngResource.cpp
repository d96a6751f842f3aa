// Decodes a PNG resource with WIC: a stream over the resource's bytes, the first frame,
// converted to premultiplied BGRA and copied into a DIB section.
#include "ui/win32/PngResource.h"

#include <objbase.h>
#include <wincodec.h>

namespace velmora {
namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
class TComRef {
 public:
  TComRef() = default;
  ~TComRef() {
    if (FPointer)
      FPointer->Release();
  }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  T** Out() { return &FPointer; }
  T* operator->() const { return FPointer; }
  T* Get() const { return FPointer; }

 private:
  T* FPointer = nullptr;
};

HBITMAP Decode(const BYTE* data, DWORD size) {
  TComRef<IWICImagingFactory> factory;
  TComRef<IWICStream> stream;
  TComRef<IWICBitmapDecoder> decoder;
  TComRef<IWICBitmapFrameDecode> frame;
  TComRef<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out()))) ||
      FAILED(factory->CreateStream(stream.Out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.Out())) ||
      FAILED(decoder->GetFrame(0, frame.Out())) ||
      FAILED(factory->CreateFormatConverter(converter.Out())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 4096 ||
      height > 4096)
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC copies
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap)
    return nullptr;
  const UINT stride = width * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

}  // namespace

HBITMAP LoadPngResource(HINSTANCE instance, int id) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RCDATA
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data)
    return nullptr;
  // COM for this call alone; a thread that has it already keeps it.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HBITMAP bitmap = Decode(static_cast<const BYTE*>(data), SizeofResource(instance, resource));
  if (SUCCEEDED(com))
    CoUninitialize();
  return bitmap;
}

}  // namespace velmora
