// Decodes a PNG resource with WIC: a stream over the resource's bytes, the first frame,
// converted to premultiplied BGRA and copied into a DIB section.
#include "ui/win32/PngResource.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstring>

#include "base/win32/Dib.h"

namespace velmora {
namespace {

TScopedBitmap Decode(const BYTE* data, DWORD size) {
  TComPtr<IWICImagingFactory> factory;
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapDecoder> decoder;
  TComPtr<IWICBitmapFrameDecode> frame;
  TComPtr<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.Receive()))) ||
      FAILED(factory.Get()->CreateStream(stream.Receive())) ||
      FAILED(stream.Get()->InitializeFromMemory(const_cast<BYTE*>(data), size)) ||
      FAILED(factory.Get()->CreateDecoderFromStream(
          stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Receive())) ||
      FAILED(decoder.Get()->GetFrame(0, frame.Receive())) ||
      FAILED(factory.Get()->CreateFormatConverter(converter.Receive())) ||
      FAILED(converter.Get()->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                         WICBitmapDitherTypeNone, nullptr, 0,
                                         WICBitmapPaletteTypeCustom)) ||
      FAILED(converter.Get()->GetSize(&width, &height)) || width == 0 || height == 0 ||
      width > 4096 || height > 4096)
    return {};
  void* bits = nullptr;  // top-down, as WIC copies
  TScopedBitmap bitmap = MakeTopDownDib(static_cast<int>(width), static_cast<int>(height), bits);
  const UINT stride = width * 4;
  if (!bitmap || FAILED(converter.Get()->CopyPixels(nullptr, stride, stride * height,
                                                    static_cast<BYTE*>(bits))))
    return {};
  return bitmap;
}

struct TResourceBytes {
  const BYTE* Data = nullptr;
  DWORD Size = 0;
};

TResourceBytes FindPng(HINSTANCE instance, int id) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RCDATA
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data)
    return {};
  return {static_cast<const BYTE*>(data), SizeofResource(instance, resource)};
}

}  // namespace

int PngResourceWidth(HINSTANCE instance, int id) {
  // The signature, then the first chunk, IHDR, whose data start with the width (big-endian).
  static constexpr BYTE kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                    0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  const TResourceBytes png = FindPng(instance, id);
  if (png.Size < sizeof(kStart) + 8 || memcmp(png.Data, kStart, sizeof(kStart)) != 0)
    return 0;
  const BYTE* width = png.Data + sizeof(kStart);
  const DWORD value =
      (DWORD{width[0]} << 24) | (DWORD{width[1]} << 16) | (DWORD{width[2]} << 8) | DWORD{width[3]};
  return value <= 4096 ? static_cast<int>(value) : 0;
}

TScopedBitmap LoadPngResource(HINSTANCE instance, int id) {
  const TResourceBytes png = FindPng(instance, id);
  if (!png.Data)
    return {};
  // COM for this call alone; a thread that has it already keeps it.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  TScopedBitmap bitmap = Decode(png.Data, png.Size);
  if (SUCCEEDED(com))
    CoUninitialize();
  return bitmap;
}

}  // namespace velmora
