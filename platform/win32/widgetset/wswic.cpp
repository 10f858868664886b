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
  explicit TComScope(DWORD model = COINIT_APARTMENTTHREADED) : FResult(CoInitializeEx(nullptr, model)) {}
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

bool CreateFactory(TCom<IWICImagingFactory>& factory) {
  return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.Out())));
}

}  // namespace

bool DecodeWithWic(std::span<const std::uint8_t> data, TBitmap& bitmap) {
  // A WIC stream takes a DWORD size.
  if (data.empty() || data.size() > 0xFFFFFFFFu) return false;
  TComScope com;
  TCom<IWICImagingFactory> factory;
  if (!CreateFactory(factory)) return false;
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

std::vector<std::uint8_t> EncodePngWithWic(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride) {
  if (width <= 0 || height <= 0) return {};
  const std::uint64_t strideBytes = std::uint64_t(stride) * 4, bytes = strideBytes * std::uint64_t(height);
  if (bytes > 0xFFFFFFFFu) return {};
  // A worker thread has no apartment of its own: the free-threaded one serves it.
  TComScope com(COINIT_MULTITHREADED);
  TCom<IWICImagingFactory> factory;
  TCom<IWICBitmap> source;
  TCom<IStream> stream;
  TCom<IWICBitmapEncoder> encoder;
  TCom<IWICBitmapFrameEncode> frame;
  // The pixels' fourth byte is 0, which 32bppBGR ignores; the frame converts to what it writes.
  if (!CreateFactory(factory) ||
      FAILED(factory->CreateBitmapFromMemory(UINT(width), UINT(height), GUID_WICPixelFormat32bppBGR, UINT(strideBytes),
                                             UINT(bytes), reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(pixels)),
                                             source.Out())) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.Out(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(UINT(width), UINT(height))))
    return {};
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&format)) || FAILED(frame->WriteSource(source.Get(), nullptr)) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit()))
    return {};
  HGLOBAL memory = nullptr;
  STATSTG stat{};
  if (FAILED(GetHGlobalFromStream(stream.Get(), &memory)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return {};
  const auto* data = static_cast<const std::uint8_t*>(GlobalLock(memory));
  if (!data) return {};
  std::vector<std::uint8_t> png(data, data + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return png;
}
