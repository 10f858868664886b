#include <algorithm>
#include <cctype>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/bmp.h"
#include "platform/picture.h"
#include "platform/raster/bitmap.h"
#include "platform/raster/pixelpool.h"
#include "platform/win32/widgetset/win32api.h"

namespace {

const char* const InvalidBitmap = "Bitmap image is not valid";

// The system's sentence for an error code, without the line break and full stop it ends with
// (the framework's messages add their own).
String Reason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = n && text ? std::wstring(text, n) : L"System error " + std::to_wstring(error);
  if (text) LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' ' || reason.back() == L'.'))
    reason.pop_back();
  return Utf8Of(reason);
}

// The name as the user sees it, with the system's separators.
String Shown(const String& fileName) {
  String name = fileName;
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

// A file handle closed on scope exit.
class THandle {
 public:
  explicit THandle(HANDLE handle) : FHandle(handle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return FHandle; }
  bool Close() {
    if (!Valid()) return true;
    const bool closed = CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE FHandle;
};

// Writes all of `bytes`; a write can stop short without an error, and the next one says why.
bool WriteAll(HANDLE file, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = DWORD(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written, size -= written;
  }
  return true;
}

// Rows are written in blocks of about this many bytes: few system calls, little memory.
constexpr std::size_t SaveBlockBytes = 256 * 1024;

}  // namespace

void SaveBitmapToFile(const TBitmap& bitmap, const String& fileName) {
  const String name = Shown(fileName);
  // A BMP cannot hold a picture without pixels; no reader would take the file back.
  if (bitmap.Empty()) throw Exception("Cannot write file \"" + name + "\". The picture is empty");
  // The picture goes to a temporary file beside the target, which then replaces the target in
  // one step: a failed write leaves any earlier file whole.
  const std::wstring target = WideOf(fileName);
  const std::wstring temporary = target + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  THandle file(
      CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) throw Exception("Cannot create file \"" + name + "\". " + Reason(GetLastError()));
  auto fail = [&](const char* what) {
    const DWORD error = GetLastError();
    file.Close();
    DeleteFileW(temporary.c_str());
    throw Exception(String(what) + " file \"" + name + "\". " + Reason(error));
  };
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  std::uint8_t header[BmpHeaderBytes];
  BmpWriteHeader(width, height, header);
  if (!WriteAll(file.Get(), header, BmpHeaderBytes)) fail("Cannot write");
  const std::size_t rowBytes = BmpRowBytes(width);
  const int blockRows = int(std::max<std::size_t>(1, SaveBlockBytes / rowBytes));
  std::vector<std::uint8_t> block(std::size_t(std::min(blockRows, height)) * rowBytes);
  // The file holds the rows bottom-up.
  for (int y = height - 1; y >= 0;) {
    std::uint8_t* out = block.data();
    for (int n = 0; n < blockRows && y >= 0; ++n, --y, out += rowBytes) BmpEncodeRow(bitmap.ScanLine(y), width, out);
    if (!WriteAll(file.Get(), block.data(), std::size_t(out - block.data()))) fail("Cannot write");
  }
  if (!FlushFileBuffers(file.Get()) || !file.Close()) fail("Cannot write");
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    fail("Cannot write");
}

void LoadBitmapFromMemory(TBitmap& bitmap, std::span<const std::uint8_t> data) {
  TBmpHeader header;
  if (BmpReadHeader(data, header)) throw Exception(InvalidBitmap);
  // Decoded into memory of its own, so a failure leaves the bitmap as it was.
  TPixelBlock memory;
  try {
    memory = TPixelPool::Acquire(std::size_t(header.Width) * std::size_t(header.Height));
  } catch (const std::bad_alloc&) {
    throw Exception("Out of memory");
  }
  if (BmpDecodePixels(data, header, memory.Data(), header.Width)) throw Exception(InvalidBitmap);
  if (!bitmap.Adopt(std::move(memory), header.Width, header.Height)) throw Exception(InvalidBitmap);
}

void LoadBitmapFromFile(TBitmap& bitmap, const String& fileName) {
  const String name = Shown(fileName);
  // The extension: what follows the last dot of the last path element, in lower case.
  const std::size_t slash = name.find_last_of('\\');
  const std::size_t dot = name.find_last_of('.');
  String ext = dot == String::npos || (slash != String::npos && dot < slash) ? String() : name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  const bool icon = ext == "ico";
  const bool metafile = ext == "wmf" || ext == "emf";
  // Only bitmaps load, as on every platform; other picture files are refused by their extension.
  if (!icon && !metafile && ext != "bmp") throw Exception("Unknown picture file extension (." + ext + ")");
  THandle file(CreateFileW(WideOf(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) throw Exception("Cannot open file \"" + name + "\". " + Reason(GetLastError()));
  // The framework reads icons and metafiles, but a bitmap cannot take them.
  if (icon) throw Exception("Cannot assign a TIcon to a TBitmap");
  if (metafile) throw Exception("Cannot assign a TMetafile to a TBitmap");
  // Sized before reading: a file larger than any picture we take is not read at all.
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size))
    throw Exception("Cannot read file \"" + name + "\". " + Reason(GetLastError()));
  if (size.QuadPart > BmpMaxFileBytes) throw Exception(InvalidBitmap);
  std::unique_ptr<std::uint8_t[]> data;
  try {
    data.reset(new std::uint8_t[std::size_t(size.QuadPart)]);
  } catch (const std::bad_alloc&) {
    throw Exception("Out of memory");
  }
  std::size_t got = 0;
  while (got < std::size_t(size.QuadPart)) {
    DWORD n = 0;
    const DWORD chunk = DWORD(std::min<std::size_t>(std::size_t(size.QuadPart) - got, 1u << 30));
    if (!ReadFile(file.Get(), data.get() + got, chunk, &n, nullptr))
      throw Exception("Cannot read file \"" + name + "\". " + Reason(GetLastError()));
    if (n == 0) break;  // the file shrank while we read it: what is missing makes the data invalid
    got += n;
  }
  LoadBitmapFromMemory(bitmap, {data.get(), got});
}
