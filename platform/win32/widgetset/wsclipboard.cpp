#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/clipboard.h"
#include "platform/picture.h"
#include "platform/raster/bitmap.h"
#include "platform/win32/widgetset/win32api.h"
#include "platform/win32/widgetset/wswic.h"

namespace {

// The name most programs (and Wine, for an X "image/png") give a PNG file on the clipboard.
UINT PngFormat() {
  static const UINT format = RegisterClipboardFormatW(L"PNG");
  return format;
}

// The picture files we read from the clipboard through WIC, in the order we prefer them: Wine
// offers an X program's "image/png", "image/jpeg" and "image/gif" as these, without a DIB.
const std::array<UINT, 3>& PictureFileFormats() {
  static const std::array<UINT, 3> formats{PngFormat(), RegisterClipboardFormatW(L"JFIF"),
                                           RegisterClipboardFormatW(L"GIF")};
  return formats;
}

constexpr UINT PngReady = WM_APP + 1;

// The owner of what we put on the clipboard: a message-only window that takes the PNG files the
// workers make. Each picture is offered as a CF_DIB at once; its PNG, which takes a worker a
// while for a screen-sized picture, is added once it is ready if the clipboard still holds that
// picture. A program asking in between finds only the DIB, as if it had asked a moment earlier.
class TClipboardOwner {
 public:
  TClipboardOwner() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuilmarClipboard";
    RegisterClassExW(&windowClass);
    FWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  }
  HWND Window() const { return FWindow; }

  // The clipboard now holds a picture of ours (the caller has closed it): its PNG is made from
  // `pixels` (rows packed) and added when ready.
  void Offered(std::vector<std::uint32_t> pixels, int width, int height);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void AddPng(WPARAM generation, std::unique_ptr<std::vector<std::uint8_t>> png);

  HWND FWindow = nullptr;
  WPARAM FGeneration = 0;  // of the latest picture we put
  DWORD FSequence = 0;     // the clipboard's sequence number after our latest change
};

TClipboardOwner& Owner() {
  static TClipboardOwner owner;
  return owner;
}

// The clipboard, open while this lives. Another program may hold it for a moment: a few tries.
class TOpenClipboard {
 public:
  TOpenClipboard() {
    for (int attempt = 0; attempt < 10 && !FOpen; ++attempt) {
      FOpen = OpenClipboard(Owner().Window());
      if (!FOpen) Sleep(10);
    }
  }
  ~TOpenClipboard() {
    if (FOpen) CloseClipboard();
  }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;
  bool Open() const { return FOpen; }

 private:
  bool FOpen = false;
};

// Global memory locked while this lives.
class TLocked {
 public:
  explicit TLocked(HGLOBAL memory) : FMemory(memory), FData(memory ? GlobalLock(memory) : nullptr) {}
  ~TLocked() {
    if (FData) GlobalUnlock(FMemory);
  }
  TLocked(const TLocked&) = delete;
  TLocked& operator=(const TLocked&) = delete;
  const std::uint8_t* Data() const { return static_cast<const std::uint8_t*>(FData); }
  std::size_t Size() const { return FData ? GlobalSize(FMemory) : 0; }

 private:
  HGLOBAL FMemory;
  void* FData;
};

// A packed DIB (what CF_DIB holds) as a BMP file: the file header says where the pixels start,
// after the bitmap header, its masks and its palette.
std::vector<std::uint8_t> BmpFileOfDib(const std::uint8_t* dib, std::size_t size) {
  if (size < sizeof(BITMAPINFOHEADER)) return {};
  BITMAPINFOHEADER info;
  std::memcpy(&info, dib, sizeof info);
  if (info.biSize < sizeof info || info.biSize > size) return {};
  std::size_t offset = info.biSize;
  // Masks follow a plain info header; the larger headers hold them.
  if (info.biSize == sizeof info &&
      (info.biCompression == BI_BITFIELDS || info.biCompression == 6 /*BI_ALPHABITFIELDS*/))
    offset += info.biCompression == BI_BITFIELDS ? 12 : 16;
  std::size_t colours = info.biClrUsed;
  if (colours == 0 && info.biBitCount <= 8) colours = std::size_t(1) << info.biBitCount;
  if (colours > 256) return {};
  offset += colours * 4;
  if (offset > size) return {};
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfSize = DWORD(sizeof header + size);
  header.bfOffBits = DWORD(sizeof header + offset);
  const auto* start = reinterpret_cast<const std::uint8_t*>(&header);
  std::vector<std::uint8_t> file(start, start + sizeof header);
  file.insert(file.end(), dib, dib + size);
  return file;
}

// A 32-bit bottom-up CF_DIB of the bitmap, the form every reader of the clipboard takes.
HGLOBAL DibOf(const TBitmap& bitmap) {
  const int width = bitmap.Width(), height = bitmap.Height();
  const std::size_t rowBytes = std::size_t(width) * 4;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + rowBytes * std::size_t(height));
  if (!memory) return nullptr;
  auto* out = static_cast<std::uint8_t*>(GlobalLock(memory));
  if (!out) {
    GlobalFree(memory);
    return nullptr;
  }
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  info.biSizeImage = DWORD(rowBytes * std::size_t(height));
  std::memcpy(out, &info, sizeof info);
  std::uint8_t* pixels = out + sizeof info;
  for (int y = 0; y < height; ++y)
    std::memcpy(pixels + std::size_t(height - 1 - y) * rowBytes, bitmap.ScanLine(y), rowBytes);
  GlobalUnlock(memory);
  return memory;
}

HGLOBAL MemoryOf(const std::vector<std::uint8_t>& bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  void* data = memory ? GlobalLock(memory) : nullptr;
  if (!data) {
    if (memory) GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  return memory;
}

void TClipboardOwner::Offered(std::vector<std::uint32_t> pixels, int width, int height) {
  FSequence = GetClipboardSequenceNumber();
  const WPARAM generation = ++FGeneration;
  try {
    std::thread([window = FWindow, generation, pixels = std::move(pixels), width, height] {
      auto png = std::make_unique<std::vector<std::uint8_t>>(EncodePngWithWic(pixels.data(), width, height, width));
      if (PostMessageW(window, PngReady, generation, reinterpret_cast<LPARAM>(png.get()))) png.release();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the picture stays on offer as the DIB alone, which every program reads.
  }
}

void TClipboardOwner::AddPng(WPARAM generation, std::unique_ptr<std::vector<std::uint8_t>> png) {
  // Another picture of ours, or anyone's change since, has replaced the one this PNG shows.
  if (generation != FGeneration || png->empty() || GetClipboardOwner() != FWindow ||
      GetClipboardSequenceNumber() != FSequence)
    return;
  if (!OpenClipboard(FWindow)) return;
  if (HGLOBAL memory = MemoryOf(*png); memory && !SetClipboardData(PngFormat(), memory)) GlobalFree(memory);
  CloseClipboard();
  FSequence = GetClipboardSequenceNumber();
}

LRESULT CALLBACK TClipboardOwner::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PngReady) {
    Owner().AddPng(wParam,
                   std::unique_ptr<std::vector<std::uint8_t>>(reinterpret_cast<std::vector<std::uint8_t>*>(lParam)));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool ReadDib(TBitmap& bitmap) {
  HANDLE data = GetClipboardData(CF_DIB);
  if (!data) return false;
  const TLocked locked(static_cast<HGLOBAL>(data));
  const std::vector<std::uint8_t> file = BmpFileOfDib(locked.Data(), locked.Size());
  if (file.empty()) return false;
  try {
    LoadBitmapFromMemory(bitmap, file);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool ReadPictureFile(UINT format, TBitmap& bitmap) {
  HANDLE data = GetClipboardData(format);
  if (!data) return false;
  const TLocked locked(static_cast<HGLOBAL>(data));
  return locked.Data() && DecodeWithWic({locked.Data(), locked.Size()}, bitmap);
}

}  // namespace

bool TClipboard::HasFormat(int format) const {
  if (format != CF_BITMAP) return false;
  // The system turns CF_BITMAP, CF_DIB and CF_DIBV5 into each other.
  if (IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP)) return true;
  for (UINT file : PictureFileFormats())
    if (IsClipboardFormatAvailable(file)) return true;
  return false;
}

void TClipboard::Assign(const TBitmap& bitmap) {
  {
    const TOpenClipboard clipboard;
    if (!clipboard.Open()) throw Exception("Cannot open clipboard");
    if (!EmptyClipboard()) throw Exception("Cannot open clipboard");
    if (bitmap.Empty()) return;
    // CF_DIB: the system makes CF_BITMAP and CF_DIBV5 from it for those who ask, and Wine offers
    // it to X programs as "image/bmp". "PNG" follows (an X program's "image/png").
    HGLOBAL dib = DibOf(bitmap);
    if (!dib) throw Exception("Out of memory");
    if (!SetClipboardData(CF_DIB, dib)) {
      GlobalFree(dib);
      throw Exception("Cannot open clipboard");
    }
  }
  // A copy of its own for the worker: the bitmap may change or go while the PNG is made.
  const int width = bitmap.Width(), height = bitmap.Height();
  std::vector<std::uint32_t> pixels;
  try {
    pixels.resize(std::size_t(width) * std::size_t(height));
  } catch (const std::bad_alloc&) {
    return;  // the picture stays on offer as the DIB alone, which every program reads
  }
  for (int y = 0; y < height; ++y)
    std::memcpy(&pixels[std::size_t(y) * std::size_t(width)], bitmap.ScanLine(y), std::size_t(width) * 4);
  Owner().Offered(std::move(pixels), width, height);
}

bool TClipboard::GetBitmap(TBitmap& bitmap) const {
  const TOpenClipboard clipboard;
  if (!clipboard.Open()) return false;
  // The bitmap itself first (the system gives CF_DIB for CF_BITMAP too); then a picture file,
  // all that an X program's picture arrives as under Wine.
  if (IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP))
    if (ReadDib(bitmap)) return true;
  for (UINT file : PictureFileFormats())
    if (IsClipboardFormatAvailable(file) && ReadPictureFile(file, bitmap)) return true;
  return false;
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}
