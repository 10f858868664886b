#include "platform/clipboard.h"

#include <cstring>
#include <vector>

#include "platform/picture.h"
#include "platform/raster/bitmap.h"
#include "platform/win32/widgetset/win32api.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wswic.h"

namespace {

// The name most programs (and Wine, for an X "image/png") give a PNG file on the clipboard.
UINT PngFormat() {
  static const UINT format = RegisterClipboardFormatW(L"PNG");
  return format;
}

// The clipboard, open while this lives. Another program may hold it for a moment: a few tries.
class TOpenClipboard {
 public:
  TOpenClipboard() {
    for (int attempt = 0; attempt < 10 && !FOpen; ++attempt) {
      FOpen = OpenClipboard(HiddenOwnerWindow());
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
  if (info.biSize == sizeof info && (info.biCompression == BI_BITFIELDS || info.biCompression == 6 /*BI_ALPHABITFIELDS*/))
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

bool ReadPng(TBitmap& bitmap) {
  HANDLE data = GetClipboardData(PngFormat());
  if (!data) return false;
  const TLocked locked(static_cast<HGLOBAL>(data));
  return locked.Data() && DecodeWithWic({locked.Data(), locked.Size()}, bitmap);
}

}  // namespace

bool TClipboard::HasFormat(int format) const {
  if (format != CF_BITMAP) return false;
  // The system turns CF_BITMAP, CF_DIB and CF_DIBV5 into each other.
  return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP) ||
         IsClipboardFormatAvailable(PngFormat());
}

void TClipboard::Assign(const TBitmap& bitmap) {
  const TOpenClipboard clipboard;
  if (!clipboard.Open()) throw Exception("Cannot open clipboard");
  if (!EmptyClipboard()) throw Exception("Cannot open clipboard");
  // Nothing but CF_DIB: the system makes CF_BITMAP and CF_DIBV5 from it for those who ask, and
  // Wine offers it to X programs as "image/bmp".
  if (bitmap.Empty()) return;
  HGLOBAL dib = DibOf(bitmap);
  if (!dib) throw Exception("Out of memory");
  if (!SetClipboardData(CF_DIB, dib)) {
    GlobalFree(dib);
    throw Exception("Cannot open clipboard");
  }
}

bool TClipboard::GetBitmap(TBitmap& bitmap) const {
  const TOpenClipboard clipboard;
  if (!clipboard.Open()) return false;
  // The bitmap itself first (the system gives CF_DIB for CF_BITMAP too); then a PNG file, all
  // that an X program's picture arrives as under Wine.
  if (IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP))
    if (ReadDib(bitmap)) return true;
  return IsClipboardFormatAvailable(PngFormat()) && ReadPng(bitmap);
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}
