#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/clipboard.h"
#include "platform/picture.h"
#include "platform/raster/bitmap.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wswic.h"
#include "support.h"
#include "ws_support.h"
// After the API header (ws_support.h), which they need.
#include <objbase.h>
#include <wincodec.h>

namespace {

// An odd-sized picture, so that row padding and the row order show: every pixel differs.
TBitmap Pattern(int width, int height) {
  TBitmap bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, std::uint32_t(x * 5) << 16 | std::uint32_t(y * 7) << 8 | std::uint32_t((x + y) & 0xFF));
  return bitmap;
}

// Where two pictures first differ, as text; empty when they are equal.
std::string Difference(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    return std::to_string(a.Width()) + "x" + std::to_string(a.Height()) + " against " + std::to_string(b.Width()) +
           "x" + std::to_string(b.Height());
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y))
        return "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + std::to_string(a.Pixel(x, y)) +
               " against " + std::to_string(b.Pixel(x, y));
  return {};
}

// A picture file of `container` (PNG, JPEG) made by WIC, as another program would make it.
std::vector<std::uint8_t> Encode(const TBitmap& bitmap, const GUID& container) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  IWICBitmap* source = nullptr;
  IStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  const UINT stride = UINT(bitmap.Stride()) * 4;
  HGLOBAL memory = nullptr;
  STATSTG stat{};
  std::vector<std::uint8_t> bytes;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateBitmapFromMemory(UINT(bitmap.Width()), UINT(bitmap.Height()),
                                                GUID_WICPixelFormat32bppBGR, stride, stride * UINT(bitmap.Height()),
                                                reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(bitmap.ScanLine(0))),
                                                &source)) &&
      SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
      SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
      SUCCEEDED(frame->WriteSource(source, nullptr)) && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit()) &&
      SUCCEEDED(GetHGlobalFromStream(stream, &memory)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
    const auto* data = static_cast<const std::uint8_t*>(GlobalLock(memory));
    bytes.assign(data, data + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
  }
  for (IUnknown* object : std::initializer_list<IUnknown*>{frame, encoder, stream, source, factory})
    if (object) object->Release();
  if (SUCCEEDED(com)) CoUninitialize();
  return bytes;
}

// Puts `bytes` on the clipboard as the one format `format`, as another program does.
// A window of its own that stands for another program on the clipboard (not one of the
// widgetset's, whose clipboard owner is its own).
HWND OtherProgram() {
  static const HWND window = CreateWindowExW(0, L"STATIC", L"other program", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                             GetModuleHandleW(nullptr), nullptr);
  return window;
}

void PutOnClipboard(UINT format, const std::vector<std::uint8_t>& bytes) {
  ASSERT_TRUE(OpenClipboard(OtherProgram()));
  EmptyClipboard();
  if (!bytes.empty()) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    EXPECT_TRUE(SetClipboardData(format, memory));
  }
  CloseClipboard();
}

// The clipboard's picture comes back pixel for pixel; the system offers it to the programs that
// ask for a device bitmap too.
TEST(TWin32Clipboard, APictureComesBackPixelForPixel) {
  const TBitmap copied = Pattern(47, 33);
  Clipboard().Assign(copied);
  EXPECT_TRUE(Clipboard().HasFormat(CF_BITMAP));
  EXPECT_FALSE(Clipboard().HasFormat(1));  // text
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_TRUE(IsClipboardFormatAvailable(2));  // the system's device bitmap
  TBitmap pasted(3, 3);
  ASSERT_TRUE(Clipboard().GetBitmap(pasted));
  EXPECT_EQ(Difference(pasted, copied), "");
}

// The bytes the clipboard holds in `format`; empty when it holds none.
std::vector<std::uint8_t> ClipboardBytes(UINT format) {
  std::vector<std::uint8_t> bytes;
  if (!OpenClipboard(OtherProgram())) return bytes;
  if (HANDLE data = GetClipboardData(format)) {
    const auto* start = static_cast<const std::uint8_t*>(GlobalLock(data));
    if (start) bytes.assign(start, start + GlobalSize(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return bytes;
}

UINT Png() { return RegisterClipboardFormatW(L"PNG"); }

// The PNG that follows a copy shows the picture copied last, also when another copy came before
// the first one's PNG was ready; a change by another program meanwhile gets no PNG added.
TEST(TWin32Clipboard, ThePngFollowsTheLatestCopyOnly) {
  const TBitmap first = Pattern(300, 200), latest = Pattern(41, 29);
  Clipboard().Assign(first);
  Clipboard().Assign(latest);
  ASSERT_TRUE(LoopUntil([] { return IsClipboardFormatAvailable(Png()); }, 5000));
  // Time for the first copy's PNG to have come too.
  LoopUntil([] { return false; }, 300);
  TBitmap decoded;
  ASSERT_TRUE(DecodeWithWic(ClipboardBytes(Png()), decoded));
  EXPECT_EQ(Difference(decoded, latest), "");

  Clipboard().Assign(first);
  PutOnClipboard(CF_TEXT, {'h', 'i', 0});
  LoopUntil([] { return false; }, 500);
  EXPECT_FALSE(IsClipboardFormatAvailable(Png()));
  EXPECT_FALSE(Clipboard().HasFormat(CF_BITMAP));
}

// A file of the host's /tmp, as this program sees it (Wine's Z: drive is the host's root).
std::string HostTemp(const std::string& name) {
  return "/tmp/quilmar-ws-" + std::to_string(GetCurrentProcessId()) + name;
}
std::string WindowsPath(const std::string& hostPath) {
  std::string path = "Z:" + hostPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}
std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// X programs get our copy as "image/bmp" and "image/png" with our pixels, and a picture an X
// program copies as "image/png" alone is pasted.
TEST(TWin32Clipboard, XProgramsExchangePicturesWithUs) {
  const TBitmap copied = Pattern(47, 33);
  Clipboard().Assign(copied);
  ASSERT_TRUE(LoopUntil([] { return IsClipboardFormatAvailable(Png()); }, 5000));
  const std::string targets = HostTemp("-targets"), png = HostTemp("-out.png"), bmp = HostTemp("-out.bmp");
  ASSERT_EQ(RunHost("xclip -selection clipboard -o -t TARGETS > " + targets), 0);
  const std::vector<std::uint8_t> offered = ReadAll(WindowsPath(targets));
  const std::string names(offered.begin(), offered.end());
  EXPECT_NE(names.find("image/png"), std::string::npos) << names;
  EXPECT_NE(names.find("image/bmp"), std::string::npos) << names;
  ASSERT_EQ(RunHost("xclip -selection clipboard -o -t image/png > " + png), 0);
  TBitmap viaPng;
  ASSERT_TRUE(DecodeWithWic(ReadAll(WindowsPath(png)), viaPng));
  EXPECT_EQ(Difference(viaPng, copied), "");
  ASSERT_EQ(RunHost("xclip -selection clipboard -o -t image/bmp > " + bmp), 0);
  TBitmap viaBmp;
  LoadBitmapFromMemory(viaBmp, ReadAll(WindowsPath(bmp)));
  EXPECT_EQ(Difference(viaBmp, copied), "");

  // Pictures an X program copies, in the formats Linux programs copy; JPEG within its loss.
  const TBitmap theirs = Pattern(23, 19);
  const std::string in = HostTemp("-in");
  struct TXCase {
    const char* Type;
    GUID Container;
    bool Lossless;
  };
  for (const TXCase& c :
       {TXCase{"image/png", GUID_ContainerFormatPng, true}, TXCase{"image/gif", GUID_ContainerFormatGif, false},
        TXCase{"image/jpeg", GUID_ContainerFormatJpeg, false}}) {
    SCOPED_TRACE(c.Type);
    // Ours again meanwhile (a picture of another size): what is pasted next is the X program's.
    Clipboard().Assign(Pattern(2, 2));
    const std::vector<std::uint8_t> file = Encode(theirs, c.Container);
    std::ofstream(WindowsPath(in), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    TBitmap expected;
    ASSERT_TRUE(DecodeWithWic(file, expected));
    // xclip stays behind, serving the picture, until another program takes the clipboard.
    ASSERT_EQ(RunHost(std::string("xclip -selection clipboard -i -t ") + c.Type + " " + in), 0);
    TBitmap pasted;
    EXPECT_TRUE(LoopUntil(
        [&] { return Clipboard().HasFormat(CF_BITMAP) && Clipboard().GetBitmap(pasted) && pasted.Width() == 23; },
        5000));
    // The picture itself, or what WIC makes of a lossy file (GIF and JPEG change the colours).
    EXPECT_EQ(Difference(pasted, c.Lossless ? theirs : expected), "");
  }
  Clipboard().Assign(Pattern(2, 2));
  for (const std::string& file : {targets, png, bmp, in}) DeleteFileA(WindowsPath(file).c_str());
}

// A device bitmap another program put (CF_BITMAP alone) arrives through the DIB the system makes.
TEST(TWin32Clipboard, ADeviceBitmapOfAnotherProgramIsPasted) {
  const TBitmap picture = Pattern(20, 11);
  HDC screen = GetDC(nullptr);
  HBITMAP device = CreateCompatibleBitmap(screen, picture.Width(), picture.Height());
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, picture.Width(), -picture.Height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  ASSERT_EQ(SetDIBits(screen, device, 0, UINT(picture.Height()), picture.ScanLine(0), &info, DIB_RGB_COLORS),
            picture.Height());
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(OpenClipboard(OtherProgram()));
  EmptyClipboard();
  EXPECT_TRUE(SetClipboardData(2, device));
  CloseClipboard();
  EXPECT_TRUE(Clipboard().HasFormat(CF_BITMAP));
  TBitmap pasted;
  ASSERT_TRUE(Clipboard().GetBitmap(pasted));
  EXPECT_EQ(Difference(pasted, picture), "");
}

// A picture offered only as "PNG" (all an X program's picture is under Wine) is decoded.
TEST(TWin32Clipboard, APngOnlyPictureIsPasted) {
  const TBitmap picture = Pattern(31, 17);
  const std::vector<std::uint8_t> png = Encode(picture, GUID_ContainerFormatPng);
  ASSERT_FALSE(png.empty());
  PutOnClipboard(RegisterClipboardFormatW(L"PNG"), png);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_TRUE(Clipboard().HasFormat(CF_BITMAP));
  TBitmap pasted;
  ASSERT_TRUE(Clipboard().GetBitmap(pasted));
  EXPECT_EQ(Difference(pasted, picture), "");
}

// Without a picture (empty, text, a "PNG" that is no PNG) there is nothing to paste, and the
// bitmap stays as it was.
TEST(TWin32Clipboard, NoPictureLeavesTheBitmapAlone) {
  struct TCase {
    const char* What;
    UINT Format;
    std::vector<std::uint8_t> Bytes;
    bool Offered;
  };
  const TCase cases[] = {
      {"empty", CF_TEXT, {}, false},
      {"text", CF_TEXT, {'h', 'i', 0}, false},
      {"broken PNG", RegisterClipboardFormatW(L"PNG"), {0x89, 'P', 'N', 'G', 1, 2, 3}, true},
      {"broken DIB", CF_DIB, {40, 0, 0, 0, 9}, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    PutOnClipboard(c.Format, c.Bytes);
    EXPECT_EQ(Clipboard().HasFormat(CF_BITMAP), c.Offered);
    TBitmap bitmap = Pattern(5, 4);
    EXPECT_FALSE(Clipboard().GetBitmap(bitmap));
    EXPECT_EQ(Difference(bitmap, Pattern(5, 4)), "");
  }
}

// PNG and JPEG files, as WIC decodes them for the clipboard: the right size and colours (JPEG
// within its loss, on a picture of flat blocks).
TEST(TWin32Wic, PngAndJpegDecodeWithTheirSizeAndColours) {
  TBitmap blocks(64, 48);
  const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) blocks.SetPixel(x, y, colours[(x / 32) + 2 * (y / 24)]);
  struct TCase {
    const char* What;
    GUID Container;
    int Tolerance;
  };
  for (const TCase& c : {TCase{"PNG", GUID_ContainerFormatPng, 0}, TCase{"JPEG", GUID_ContainerFormatJpeg, 24}}) {
    SCOPED_TRACE(c.What);
    const std::vector<std::uint8_t> file = Encode(blocks, c.Container);
    ASSERT_FALSE(file.empty());
    TBitmap decoded;
    ASSERT_TRUE(DecodeWithWic(file, decoded));
    ASSERT_EQ(decoded.Width(), 64);
    ASSERT_EQ(decoded.Height(), 48);
    // The middle of each block, away from the edges JPEG smears.
    for (int block = 0; block < 4; ++block) {
      const std::uint32_t got = decoded.Pixel(16 + 32 * (block % 2), 12 + 24 * (block / 2));
      const std::uint32_t want = colours[block];
      for (int shift : {0, 8, 16})
        EXPECT_LE(std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)), c.Tolerance)
            << "block " << block << ": " << std::hex << got;
      EXPECT_EQ(got >> 24, 0u);
    }
  }
  TBitmap untouched = Pattern(3, 2);
  EXPECT_FALSE(DecodeWithWic(std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a'}, untouched));
  EXPECT_EQ(Difference(untouched, Pattern(3, 2)), "");
}

std::filesystem::path Scratch(const char* name) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pictures-test";
  std::filesystem::create_directories(folder);
  return folder / name;
}

// A saved picture loads back pixel for pixel, from a name in any letter case; saving over a
// file replaces it and leaves no temporary file beside it.
TEST(TWin32PictureFiles, SavedPictureLoadsBack) {
  const std::filesystem::path file = Scratch("round.bmp");
  std::ofstream(file) << "an older file";
  const TBitmap saved = Pattern(47, 33);
  SaveBitmapToFile(saved, Utf8Of(file.wstring()));
  TBitmap loaded;
  LoadBitmapFromFile(loaded, Utf8Of((file.parent_path() / "ROUND.BMP").wstring()));
  EXPECT_EQ(Difference(loaded, saved), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
  std::filesystem::remove_all(file.parent_path());
}

// Each failure says what went wrong and leaves the bitmap, and any earlier file, as they were.
TEST(TWin32PictureFiles, FailuresSayWhyAndChangeNothing) {
  const TBitmap picture = Pattern(8, 6);
  const std::filesystem::path png = Scratch("photo.png");
  const std::filesystem::path icon = Scratch("icon.ico");
  const std::filesystem::path broken = Scratch("broken.bmp");
  std::ofstream(png, std::ios::binary).write("\x89PNG", 4);
  std::ofstream(icon, std::ios::binary).write("\0\0\1\0", 4);
  std::ofstream(broken, std::ios::binary) << "BM and nothing more";
  struct TCase {
    std::filesystem::path File;
    const char* Message;  // the start of the exception's text
  };
  const TCase loads[] = {
      {png, "Unknown picture file extension (.png)"},
      {icon, "Cannot assign a TIcon to a TBitmap"},
      {broken, "Bitmap image is not valid"},
      {Scratch("missing.bmp"), "Cannot open file \""},
      {Scratch("noextension"), "Unknown picture file extension (.)"},
  };
  for (const TCase& c : loads) {
    SCOPED_TRACE(c.File.string());
    TBitmap bitmap = Pattern(8, 6);
    try {
      LoadBitmapFromFile(bitmap, Utf8Of(c.File.wstring()));
      ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message().rfind(c.Message, 0), 0u) << e.Message();
    }
    EXPECT_EQ(Difference(bitmap, picture), "");
  }
  // A folder that does not exist, a name a folder has (the temporary file is written, then
  // cannot replace it), and an empty picture: nothing is left behind, the old file stays.
  std::ofstream(broken, std::ios::binary | std::ios::trunc) << "kept";
  const std::filesystem::path folder = Scratch("folder.bmp");
  std::filesystem::create_directory(folder);
  for (const std::filesystem::path& target : {Scratch("nofolder") / "x.bmp", folder, broken}) {
    SCOPED_TRACE(target.string());
    const TBitmap bitmap = target == broken ? TBitmap() : Pattern(2, 2);
    EXPECT_THROW(SaveBitmapToFile(bitmap, Utf8Of(target.wstring())), Exception);
  }
  std::ifstream kept(broken);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
  kept.close();
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(broken.parent_path()), {}), 4);
  std::filesystem::remove_all(broken.parent_path());
}

}  // namespace
