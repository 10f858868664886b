#include "platform/win32/widgetset/wswic.h"

#include "platform/win32/widgetset/win32api.h"
// After the API header: it brings the COM types the codec interfaces use.
#include <objbase.h>
#include <wincodec.h>

#include <new>
#include <utility>

namespace {

// COM for this thread while it lives; a thread already initialised (in any model) keeps its own.
class TComScope {
 public:
  TComScope() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~TComScope() {
    if (SUCCEEDED(FResult)) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  HRESULT FResult;
};

// A COM interface pointer released on scope exit.
template <class T>
class TCom {
 public:
  TCom() = default;
  ~TCom() {
    if (FPtr) FPtr->Release();
  }
  TCom(const TCom&) = delete;
  TCom& operator=(const TCom&) = delete;
  T* operator->() const { return FPtr; }
  T* Get() const { return FPtr; }
  T** Out() { return &FPtr; }

 private:
  T* FPtr = nullptr;
};

}  // namespace

bool DecodeWithWic(std::span<const std::uint8_t> data, TBitmap& bitmap) {
  // A WIC stream takes a DWORD size.
  if (data.empty() || data.size() > 0xFFFFFFFFu) return false;
  TComScope com;
  TCom<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.Out()))))
    return false;
  TCom<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()), DWORD(data.size()))))
    return false;
  TCom<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Out())))
    return false;
  TCom<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Out()))) return false;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 || width > UINT(TBitmap::MaxSide) ||
      height > UINT(TBitmap::MaxSide))
    return false;
  // 32bppBGR is the bitmap's own 0x00RRGGBB in memory; a transparent pixel keeps its colour.
  TCom<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return false;
  // Decoded into a bitmap of its own, so a failure leaves `bitmap` as it was.
  TBitmap decoded;
  try {
    decoded.SetSize(int(width), int(height));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const UINT stride = UINT(decoded.Stride()) * 4;
  const UINT bytes = stride * height;
  if (std::uint64_t(stride) * height > 0xFFFFFFFFu ||
      FAILED(converter->CopyPixels(nullptr, stride, bytes, reinterpret_cast<BYTE*>(decoded.ScanLine(0)))))
    return false;
  // The converter leaves the fourth byte as the source's alpha or 0xFF; the bitmap's is 0.
  for (int y = 0; y < decoded.Height(); ++y) {
    std::uint32_t* row = decoded.ScanLine(y);
    for (int x = 0; x < decoded.Width(); ++x) row[x] &= 0x00FFFFFFu;
  }
  bitmap = std::move(decoded);
  return true;
}
