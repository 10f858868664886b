#include "platform/win32/widgetset/wsraster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/sysutils.h"
#include "platform/win32/widgetset/win32api.h"

namespace {

// Canvas text is measured in points at 96 dots per inch, as on the other widgetset: a caption
// is as many pixels high on every platform, whatever the desktop's scaling.
constexpr int TextDpi = 96;

// The faces with Chinese glyphs a missing face falls back to, the system's own first.
constexpr const wchar_t* ChineseFaces[] = {L"Microsoft YaHei",
                                           L"\u5FAE\u8F6F\u96C5\u9ED1",
                                           L"SimSun",
                                           L"\u5B8B\u4F53",
                                           L"SimHei",
                                           L"NSimSun",
                                           L"WenQuanYi Micro Hei",
                                           L"WenQuanYi Zen Hei",
                                           L"Noto Sans CJK SC",
                                           L"Droid Sans Fallback"};

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceExists(HDC dc, const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  face.copy(query.lfFaceName, face.size());
  bool found = false;
  EnumFontFamiliesExW(dc, &query, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

struct TArea {
  int Left, Top, Right, Bottom;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

bool Inside(std::span<const TRect> rects, int x, int y) {
  return std::any_of(rects.begin(), rects.end(),
                     [&](const TRect& r) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; });
}

}  // namespace

struct TGdiFontEngine::TScratch {
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  std::uint32_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
};

TGdiFontEngine::TGdiFontEngine() : FDc(CreateCompatibleDC(nullptr)) {}

TGdiFontEngine::~TGdiFontEngine() {
  HDC dc = static_cast<HDC>(FDc);
  if (FScratch) {
    SelectObject(dc, FScratch->Old);
    DeleteObject(FScratch->Bitmap);
  }
  for (auto& [key, font] : FFonts) DeleteObject(static_cast<HFONT>(font));
  DeleteDC(dc);
}

TGdiFontEngine::TScratch& TGdiFontEngine::Scratch(int width, int height) {
  HDC dc = static_cast<HDC>(FDc);
  if (FScratch && FScratch->Width >= width && FScratch->Height >= height) return *FScratch;
  const int w = std::max(width, FScratch ? FScratch->Width : 0);
  const int h = std::max(height, FScratch ? FScratch->Height : 0);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down, as the bitmaps' rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) throw EOutOfResources("Not enough memory to draw the text: close other programs and try again");
  if (FScratch) {
    SelectObject(dc, FScratch->Old);
    DeleteObject(FScratch->Bitmap);
  } else {
    FScratch = std::make_unique<TScratch>();
  }
  FScratch->Old = SelectObject(dc, bitmap);
  FScratch->Bitmap = bitmap;
  FScratch->Pixels = static_cast<std::uint32_t*>(bits);
  FScratch->Width = w;
  FScratch->Height = h;
  return *FScratch;
}

String TGdiFontEngine::ResolveFace(const String& name) {
  if (name.empty()) return name;
  // Kept per name: the desktop's fonts do not change while we run.
  const auto known = FFaces.find(name);
  if (known != FFaces.end()) return known->second;
  HDC dc = static_cast<HDC>(FDc);
  String face = name;
  if (!FaceExists(dc, WideOf(name))) {
    face.clear();
    for (const wchar_t* fallback : ChineseFaces)
      if (FaceExists(dc, fallback)) {
        face = Utf8Of(fallback);
        break;
      }
  }
  FFaces.emplace(name, face);
  return face;
}

void* TGdiFontEngine::FontHandle(const TFont& font, int pixels) {
  // No face of its own: the desktop's, itself resolved (a desktop may lack its own default).
  String face = ResolveFace(font.Name.empty() ? DefaultFontFace() : font.Name);
  const auto key = std::make_tuple(face, font.Size, font.Style, pixels);
  if (const auto it = FFonts.find(key); it != FFonts.end()) return it->second;
  LOGFONTW log{};
  log.lfHeight = pixels > 0 ? -pixels : -MulDiv(std::max(1, font.Size), TextDpi, 72);
  log.lfWeight = font.Style & fsBold ? FW_BOLD : FW_NORMAL;
  log.lfItalic = font.Style & fsItalic ? TRUE : FALSE;
  log.lfUnderline = font.Style & fsUnderline ? TRUE : FALSE;
  log.lfStrikeOut = font.Style & fsStrikeOut ? TRUE : FALSE;
  log.lfCharSet = DEFAULT_CHARSET;
  log.lfOutPrecision = OUT_TT_PRECIS;
  // Grey antialiasing: colour fringes (ClearType) would be baked into the picture for good.
  log.lfQuality = ANTIALIASED_QUALITY;
  const std::wstring wide = WideOf(face);
  wide.copy(log.lfFaceName, std::min<std::size_t>(wide.size(), LF_FACESIZE - 1));
  HFONT handle = CreateFontIndirectW(&log);
  if (!handle) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  FFonts.emplace(key, handle);
  return handle;
}

TFontEngine::TMetrics TGdiFontEngine::Measure(const TFont& font, const TBitmap*, std::string_view text) {
  HDC dc = static_cast<HDC>(FDc);
  const HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(FontHandle(font)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const std::wstring wide = WideOf(text);
  SIZE extent{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
  TMetrics result;
  result.Advance = extent.cx;
  result.Height = tm.tmHeight;
  if (!wide.empty()) {
    // The ink is what GDI actually draws: white text on black, on a margin of a line's height
    // round the box for overhanging glyphs.
    const int pad = tm.tmHeight;
    const int w = extent.cx + 2 * pad, h = tm.tmHeight + 2 * pad;
    TScratch& s = Scratch(w, h);
    for (int row = 0; row < h; ++row) std::fill_n(s.Pixels + std::ptrdiff_t{row} * s.Width, w, 0u);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc, pad, pad, wide.c_str(), static_cast<int>(wide.size()));
    GdiFlush();
    int left = w, top = h, right = 0, bottom = 0;
    for (int row = 0; row < h; ++row) {
      const std::uint32_t* line = s.Pixels + std::ptrdiff_t{row} * s.Width;
      for (int col = 0; col < w; ++col)
        if (line[col] & 0x00FFFFFF) {
          left = std::min(left, col);
          right = std::max(right, col + 1);
          top = std::min(top, row);
          bottom = std::max(bottom, row + 1);
        }
    }
    if (right > left) result.Ink = TRect{left - pad, top - pad, right - pad, bottom - pad};
  }
  SelectObject(dc, old);
  return result;
}

void TGdiFontEngine::Draw(TBitmap& target, std::span<const TRect> excluded, const TFont& font, int x, int y,
                          std::string_view text, std::optional<TColor> background) {
  if (target.Empty() || text.empty()) return;
  const TMetrics m = Measure(font, &target, text);
  // Only the pixels the text may change are handed to GDI, and only the changed ones come back.
  TArea area{x + std::min(0, m.Ink.Left), y + std::min(0, m.Ink.Top), x + std::max(m.Advance, m.Ink.Right),
             y + std::max(m.Height, m.Ink.Bottom)};
  area.Left = std::max(area.Left, 0);
  area.Top = std::max(area.Top, 0);
  area.Right = std::min(area.Right, target.Width());
  area.Bottom = std::min(area.Bottom, target.Height());
  if (area.Width() <= 0 || area.Height() <= 0) return;

  TScratch& s = Scratch(area.Width(), area.Height());
  const auto scratchLine = [&](int row) { return s.Pixels + std::ptrdiff_t{row} * s.Width; };
  for (int row = 0; row < area.Height(); ++row)
    std::copy_n(target.ScanLine(area.Top + row) + area.Left, area.Width(), scratchLine(row));
  HDC dc = static_cast<HDC>(FDc);
  const HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(FontHandle(font)));
  const std::wstring wide = WideOf(text);
  if (background) {
    const RECT box{x - area.Left, y - area.Top, x - area.Left + m.Advance, y - area.Top + m.Height};
    HBRUSH brush = CreateSolidBrush(ColorToRGB(*background));
    FillRect(dc, &box, brush);
    DeleteObject(brush);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(font.Color));
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc, x - area.Left, y - area.Top, wide.c_str(), static_cast<int>(wide.size()));
  GdiFlush();
  SelectObject(dc, old);
  for (int row = 0; row < area.Height(); ++row) {
    std::uint32_t* to = target.ScanLine(area.Top + row) + area.Left;
    const std::uint32_t* from = scratchLine(row);
    for (int col = 0; col < area.Width(); ++col) {
      const std::uint32_t drawn = from[col] & 0x00FFFFFF;
      if (drawn != (to[col] & 0x00FFFFFF) && !Inside(excluded, area.Left + col, area.Top + row)) to[col] = drawn;
    }
  }
}

String DefaultFontFace() {
  static const String face = [] {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
        metrics.lfMessageFont.lfFaceName[0])
      return Utf8Of(metrics.lfMessageFont.lfFaceName);
    return String("Tahoma");
  }();
  return face;
}

namespace {

// The source pixels one output pixel takes, and how much of each.
struct TTaps {
  int First = 0;
  std::vector<float> Weights;
};

// `count` outputs over the source stretch [start, start + length), reading pixels lo..hi-1 only.
std::vector<TTaps> MakeTaps(double start, double length, int count, int lo, int hi) {
  std::vector<TTaps> taps(std::size_t(std::max(count, 0)));
  const double scale = length / count;
  for (int i = 0; i < count; ++i) {
    TTaps& t = taps[std::size_t(i)];
    const double centre = start + (i + 0.5) * scale;
    if (scale > 1.0) {
      // Shrinking: the average of the pixels the output pixel covers, by how much each is covered.
      const double a = std::clamp(centre - scale / 2, double(lo), double(hi));
      const double b = std::clamp(centre + scale / 2, double(lo), double(hi));
      const int first = std::clamp(int(std::floor(a)), lo, hi - 1);
      const int last = std::clamp(int(std::ceil(b)) - 1, first, hi - 1);
      t.First = first;
      for (int j = first; j <= last; ++j)
        t.Weights.push_back(float(std::max(0.0, std::min(b, j + 1.0) - std::max(a, double(j)))));
    } else {
      // Enlarging: linear between the two nearest pixel centres, the edge pixels held beyond them.
      const double p = centre - 0.5;
      const int j = int(std::floor(p));
      const float f = float(p - j);
      const int j0 = std::clamp(j, lo, hi - 1), j1 = std::clamp(j + 1, lo, hi - 1);
      t.First = j0;
      if (j1 == j0) {
        t.Weights = {1.0f};
      } else {
        t.Weights = {1.0f - f, f};
      }
    }
    float sum = 0;
    for (float w : t.Weights) sum += w;
    if (sum <= 0) {
      t.Weights.assign(1, 1.0f);
    } else {
      for (float& w : t.Weights) w /= sum;
    }
  }
  return taps;
}

void Resample(const TBitmap& source, const std::vector<TTaps>& across, const std::vector<TTaps>& down, TBitmap& out) {
  const int width = int(across.size()), height = int(down.size());
  if (width == 0 || height == 0 || source.Empty()) {
    out.SetSize(0, 0);
    return;
  }
  int firstRow = source.Height(), endRow = 0;
  for (const TTaps& t : down) {
    firstRow = std::min(firstRow, t.First);
    endRow = std::max(endRow, t.First + int(t.Weights.size()));
  }
  // The rows the output needs, scaled across first: three channels per output column.
  std::vector<float> rows(std::size_t(endRow - firstRow) * std::size_t(width) * 3);
  for (int r = firstRow; r < endRow; ++r) {
    const std::uint32_t* in = source.ScanLine(r);
    float* to = rows.data() + std::size_t(r - firstRow) * std::size_t(width) * 3;
    for (int i = 0; i < width; ++i) {
      const TTaps& t = across[std::size_t(i)];
      float red = 0, green = 0, blue = 0;
      for (std::size_t k = 0; k < t.Weights.size(); ++k) {
        const std::uint32_t p = in[t.First + int(k)];
        red += t.Weights[k] * float((p >> 16) & 0xFF);
        green += t.Weights[k] * float((p >> 8) & 0xFF);
        blue += t.Weights[k] * float(p & 0xFF);
      }
      to[3 * i] = red, to[3 * i + 1] = green, to[3 * i + 2] = blue;
    }
  }
  out.SetSize(width, height);
  const auto channel = [](float v) { return std::uint32_t(std::clamp(int(v + 0.5f), 0, 255)); };
  for (int j = 0; j < height; ++j) {
    const TTaps& t = down[std::size_t(j)];
    std::uint32_t* line = out.ScanLine(j);
    for (int i = 0; i < width; ++i) {
      float red = 0, green = 0, blue = 0;
      for (std::size_t k = 0; k < t.Weights.size(); ++k) {
        const float* p =
            rows.data() + (std::size_t(t.First + int(k) - firstRow) * std::size_t(width) + std::size_t(i)) * 3;
        red += t.Weights[k] * p[0];
        green += t.Weights[k] * p[1];
        blue += t.Weights[k] * p[2];
      }
      line[i] = channel(red) << 16 | channel(green) << 8 | channel(blue);
    }
  }
}

}  // namespace

void TSmoothScaler::Scale(const TBitmap& source, const TRect& part, int width, int height, TBitmap& out) {
  const TRect p = Intersect(part, TRect{0, 0, source.Width(), source.Height()});
  if (p.IsEmpty() || width <= 0 || height <= 0) {
    out.SetSize(0, 0);
    return;
  }
  // The part alone is seen: its edge pixels hold beyond it, as though it had been cut out.
  Resample(source, MakeTaps(p.Left, double(p.Width()), width, p.Left, p.Right),
           MakeTaps(p.Top, double(p.Height()), height, p.Top, p.Bottom), out);
}

void TSmoothScaler::Render(const TBitmap& source, double x, double y, double w, double h, int width, int height,
                           TBitmap& out) {
  if (source.Empty() || width <= 0 || height <= 0 || w <= 0 || h <= 0) {
    out.SetSize(0, 0);
    return;
  }
  Resample(source, MakeTaps(x, w, width, 0, source.Width()), MakeTaps(y, h, height, 0, source.Height()), out);
}

TGdiFontEngine& GdiFontEngine() {
  static TGdiFontEngine fonts;
  return fonts;
}

void InstallWin32RasterEngines() {
  static TSmoothScaler scaler;
  Raster::InstallEngines(&GdiFontEngine(), &scaler);
}
