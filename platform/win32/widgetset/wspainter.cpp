#include "platform/win32/widgetset/wspainter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "platform/raster/bitmap.h"
#include "platform/win32/widgetset/wsraster.h"

// GDI draws without antialiasing and writes no alpha. Each figure is therefore drawn white on
// black into a coverage mask, several samples per pixel when antialiased, and its colour is laid
// over the picture's premultiplied samples through that mask; the samples are averaged into the
// picture at the end.

namespace {

// Far beyond any glyph at any screen ratio; keeps the byte count of a picture in range.
constexpr int MaxPictureSide = 32768;
// Samples per pixel side while antialiased, fewer for large pictures so that the samples (and
// the mask of as many pixels) stay within this many: 16 MB each, a picture of 512 x 512 at 4 x 4.
constexpr int MaxSamplesSide = 4;
constexpr long long MaxSamples = 4LL << 20;

// Row vectors: a point p goes to p * M, so a transformation applied in the painter's own
// coordinates multiplies from the left.
struct TMatrix {
  double M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
  TPointF Map(TPointF p) const { return {p.X * M11 + p.Y * M21 + Dx, p.X * M12 + p.Y * M22 + Dy}; }
  TMatrix Scaled(double f) const { return {M11 * f, M12 * f, M21 * f, M22 * f, Dx * f, Dy * f}; }
  double Det() const { return M11 * M22 - M12 * M21; }
  TMatrix Inverted() const {
    const double d = Det();
    if (d == 0) return {0, 0, 0, 0, 0, 0};
    const TMatrix i{M22 / d, -M12 / d, -M21 / d, M11 / d, 0, 0};
    return {i.M11, i.M12, i.M21, i.M22, -(Dx * i.M11 + Dy * i.M21), -(Dx * i.M12 + Dy * i.M22)};
  }
};

// A figure in the painter's coordinates: a start, then lines and cubic segments.
struct TFigure {
  struct TStep {
    bool Cubic;
    TPointF C1, C2, End;
  };
  TPointF Start;
  std::vector<TStep> Steps;
  bool Closed = true;

  void LineTo(TPointF p) { Steps.push_back({false, {}, {}, p}); }
  void CubicTo(TPointF c1, TPointF c2, TPointF p) { Steps.push_back({true, c1, c2, p}); }
  // The part of the ellipse centred at (cx, cy) from `start` over `span` degrees, counter-clockwise
  // on the screen for positive spans, in segments of at most a quarter turn.
  void ArcTo(double cx, double cy, double rx, double ry, double start, double span) {
    const int parts = std::max(1, int(std::ceil(std::abs(span) / 90.0 - 1e-9)));
    const double step = span / parts * std::numbers::pi / 180;
    double a = start * std::numbers::pi / 180;
    auto at = [&](double x, double y) { return TPointF{cx + rx * x, cy - ry * y}; };
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < parts; ++i, a += step) {
      const double b = a + step;
      CubicTo(at(std::cos(a) - k * std::sin(a), std::sin(a) + k * std::cos(a)),
              at(std::cos(b) + k * std::sin(b), std::sin(b) - k * std::cos(b)), at(std::cos(b), std::sin(b)));
    }
  }
  static TPointF ArcPoint(double cx, double cy, double rx, double ry, double degrees) {
    const double a = degrees * std::numbers::pi / 180;
    return {cx + rx * std::cos(a), cy - ry * std::sin(a)};
  }
};

TFigure RectFigure(const TRectF& b) {
  TFigure f{{b.Left, b.Top}, {}, true};
  f.LineTo({b.Left + b.Width, b.Top});
  f.LineTo({b.Left + b.Width, b.Top + b.Height});
  f.LineTo({b.Left, b.Top + b.Height});
  return f;
}

TFigure EllipseFigure(const TRectF& b) {
  const double rx = b.Width / 2, ry = b.Height / 2, cx = b.Left + rx, cy = b.Top + ry;
  TFigure f{TFigure::ArcPoint(cx, cy, rx, ry, 0), {}, true};
  f.ArcTo(cx, cy, rx, ry, 0, 360);
  return f;
}

TFigure RoundedRectFigure(const TRectF& b, double rx, double ry) {
  rx = std::clamp(rx, 0.0, b.Width / 2);
  ry = std::clamp(ry, 0.0, b.Height / 2);
  if (rx <= 0 || ry <= 0) return RectFigure(b);
  const double l = b.Left, t = b.Top, r = b.Left + b.Width, bottom = b.Top + b.Height;
  TFigure f{{l + rx, t}, {}, true};
  f.LineTo({r - rx, t});
  f.ArcTo(r - rx, t + ry, rx, ry, 90, -90);
  f.LineTo({r, bottom - ry});
  f.ArcTo(r - rx, bottom - ry, rx, ry, 0, -90);
  f.LineTo({l + rx, bottom});
  f.ArcTo(l + rx, bottom - ry, rx, ry, 270, -90);
  f.LineTo({l, t + ry});
  f.ArcTo(l + rx, t + ry, rx, ry, 180, -90);
  return f;
}

std::uint32_t Premultiplied(TRGBA c, unsigned coverage) {
  const unsigned a = (c.A * coverage + 127) / 255;
  return std::uint32_t(a) << 24 | ((c.R * a + 127) / 255) << 16 | ((c.G * a + 127) / 255) << 8 |
         ((c.B * a + 127) / 255);
}

// `source` (premultiplied) over `target` (premultiplied).
std::uint32_t Over(std::uint32_t source, std::uint32_t target) {
  const std::uint32_t keep = 255 - (source >> 24);
  if (keep == 255) return target;
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t s = (source >> shift) & 0xFF, t = (target >> shift) & 0xFF;
    out |= std::min<std::uint32_t>(255, s + (t * keep + 127) / 255) << shift;
  }
  return out;
}

TRGBA GradientAt(const TLinearGradient& g, TPointF p) {
  if (g.Stops.empty()) return TRGBA{0, 0, 0, 0};
  const double dx = g.End.X - g.Start.X, dy = g.End.Y - g.Start.Y, length = dx * dx + dy * dy;
  const double t = length > 0 ? std::clamp(((p.X - g.Start.X) * dx + (p.Y - g.Start.Y) * dy) / length, 0.0, 1.0) : 0.0;
  std::vector<TLinearGradient::TStop> stops = g.Stops;
  std::stable_sort(stops.begin(), stops.end(), [](const auto& a, const auto& b) { return a.Position < b.Position; });
  if (t <= stops.front().Position) return stops.front().Color;
  for (std::size_t i = 1; i < stops.size(); ++i) {
    if (t > stops[i].Position) continue;
    const double span = stops[i].Position - stops[i - 1].Position;
    const double u = span > 0 ? (t - stops[i - 1].Position) / span : 1.0;
    auto mix = [u](std::uint8_t a, std::uint8_t b) { return std::uint8_t(std::lround(a + (b - a) * u)); };
    const TRGBA a = stops[i - 1].Color, b = stops[i].Color;
    return TRGBA{mix(a.R, b.R), mix(a.G, b.G), mix(a.B, b.B), mix(a.A, b.A)};
  }
  return stops.back().Color;
}

class TGdiPainter final : public TPainter {
 public:
  TGdiPainter(int width, int height, int samples, const TMatrix& base)
      : FWidth(width),
        FHeight(height),
        FSamples(samples),
        FSamplesWide(width * samples),
        FSamplesHigh(height * samples),
        FAccum(std::size_t(FSamplesWide) * std::size_t(FSamplesHigh), 0) {
    FState.Matrix = base;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, FSamplesWide, -FSamplesHigh, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    FDc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    FMask = FDc ? CreateDIBSection(FDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!FMask) {
      if (FDc) DeleteDC(FDc);
      throw EOutOfResources("The system refused the memory to draw a picture of " + std::to_string(width) + " x " +
                            std::to_string(height) + ": close other programs and try again");
    }
    FMaskBits = static_cast<std::uint32_t*>(bits);
    FOldBitmap = SelectObject(FDc, FMask);
    SetGraphicsMode(FDc, GM_ADVANCED);
    SetPolyFillMode(FDc, ALTERNATE);
    SetBkMode(FDc, TRANSPARENT);
  }

  ~TGdiPainter() override {
    SelectObject(FDc, FOldBitmap);
    DeleteObject(FMask);
    DeleteDC(FDc);
  }
  TGdiPainter(const TGdiPainter&) = delete;
  TGdiPainter& operator=(const TGdiPainter&) = delete;

  // The samples averaged into width x height premultiplied pixels.
  TPicture Picture() const {
    std::vector<std::uint32_t> pixels(std::size_t(FWidth) * std::size_t(FHeight));
    const unsigned n = unsigned(FSamples * FSamples);
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x) {
        unsigned sum[4] = {0, 0, 0, 0};
        for (int sy = 0; sy < FSamples; ++sy) {
          const std::uint32_t* row = FAccum.data() + std::size_t(y * FSamples + sy) * std::size_t(FSamplesWide);
          for (int sx = 0; sx < FSamples; ++sx) {
            const std::uint32_t p = row[x * FSamples + sx];
            for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
          }
        }
        std::uint32_t p = 0;
        for (int c = 0; c < 4; ++c) p |= ((sum[c] + n / 2) / n) << (8 * c);
        pixels[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] = p;
      }
    return TPicture(FWidth, FHeight, std::move(pixels));
  }

  void Save() override { FSaved.push_back(FState); }
  void Restore() override {
    if (FSaved.empty()) return;
    FState = FSaved.back();
    FSaved.pop_back();
  }
  void Translate(double dx, double dy) override {
    TMatrix& m = FState.Matrix;
    m.Dx += dx * m.M11 + dy * m.M21;
    m.Dy += dx * m.M12 + dy * m.M22;
  }
  void Rotate(double degrees) override {
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    TMatrix& m = FState.Matrix;
    const TMatrix o = m;
    m.M11 = c * o.M11 + s * o.M21;
    m.M12 = c * o.M12 + s * o.M22;
    m.M21 = -s * o.M11 + c * o.M21;
    m.M22 = -s * o.M12 + c * o.M22;
  }
  void Scale(double sx, double sy) override {
    TMatrix& m = FState.Matrix;
    m.M11 *= sx;
    m.M12 *= sx;
    m.M21 *= sy;
    m.M22 *= sy;
  }
  void SetAntialiasing(bool on) override { FState.Antialiased = on; }
  void SetPen(const TDrawPen& pen) override {
    FState.Pen = pen;
    FState.HasPen = true;
  }
  void SetNoPen() override { FState.HasPen = false; }
  void SetBrush(TRGBA color) override {
    FState.Brush = color;
    FState.HasBrush = true;
  }
  void SetNoBrush() override { FState.HasBrush = false; }
  void SetFont(int pixelSize, bool bold) override {
    FState.FontPixels = pixelSize;
    FState.Bold = bold;
  }

  void FillRect(const TRectF& box, TRGBA color) override {
    Cover([&](const TMatrix& m) { FillFigure(RectFigure(box), m); }, [color](TPointF) { return color; });
  }
  void FillRect(const TRectF& box, const TLinearGradient& gradient) override {
    Cover([&](const TMatrix& m) { FillFigure(RectFigure(box), m); },
          [&gradient](TPointF p) { return GradientAt(gradient, p); });
  }
  void DrawRect(const TRectF& box) override { Draw(RectFigure(box)); }
  void DrawRoundedRect(const TRectF& box, double radiusX, double radiusY) override {
    Draw(RoundedRectFigure(box, radiusX, radiusY));
  }
  void DrawEllipse(const TRectF& box) override { Draw(EllipseFigure(box)); }
  void DrawLine(TPointF from, TPointF to) override {
    TFigure f{from, {}, false};
    f.LineTo(to);
    Stroke(f);
  }
  void DrawPolygon(std::span<const TPointF> points) override {
    if (points.empty()) return;
    TFigure f{points.front(), {}, true};
    for (std::size_t i = 1; i < points.size(); ++i) f.LineTo(points[i]);
    Draw(f);
  }
  void DrawArc(const TRectF& box, double startDegrees, double spanDegrees) override {
    const double rx = box.Width / 2, ry = box.Height / 2, cx = box.Left + rx, cy = box.Top + ry;
    TFigure f{TFigure::ArcPoint(cx, cy, rx, ry, startDegrees), {}, false};
    f.ArcTo(cx, cy, rx, ry, startDegrees, spanDegrees);
    Stroke(f);
  }
  void DrawPath(const TPath& path) override {
    TFigure f{path.Start(), {}, false};
    for (const TPath::TCubic& c : path.Cubics()) f.CubicTo(c.Control1, c.Control2, c.End);
    // Filled as if closed, stroked as it is.
    if (FState.HasBrush) {
      f.Closed = true;
      const TRGBA brush = FState.Brush;
      Cover([&](const TMatrix& m) { FillFigure(f, m); }, [brush](TPointF) { return brush; });
      f.Closed = false;
    }
    Stroke(f);
  }
  void DrawCentredText(const TRectF& box, std::string_view text) override {
    if (!FState.HasPen || text.empty()) return;
    const std::wstring wide = WideOf(text);
    const TRGBA color = FState.Pen.Color;
    Cover(
        [&](const TMatrix& m) {
          // The face canvas text without a face of its own has, resolved as canvas text is.
          const String faceName = GdiFontEngine().ResolveFace(DefaultFontFace());
          LOGFONTW log{};
          log.lfHeight = -std::max(1, FState.FontPixels);
          log.lfWeight = FState.Bold ? FW_BOLD : FW_NORMAL;
          log.lfCharSet = DEFAULT_CHARSET;
          log.lfQuality = FState.Antialiased ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
          const std::wstring face = WideOf(faceName);
          face.copy(log.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
          HFONT handle = CreateFontIndirectW(&log);
          if (!handle) return;
          const XFORM form{float(m.M11), float(m.M12), float(m.M21), float(m.M22), float(m.Dx), float(m.Dy)};
          SetWorldTransform(FDc, &form);
          const HGDIOBJ old = SelectObject(FDc, handle);
          SetTextColor(FDc, RGB(255, 255, 255));
          RECT r{LONG(std::lround(box.Left)), LONG(std::lround(box.Top)), LONG(std::lround(box.Left + box.Width)),
                 LONG(std::lround(box.Top + box.Height))};
          DrawTextW(FDc, wide.c_str(), int(wide.size()), &r,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
          SelectObject(FDc, old);
          DeleteObject(handle);
          ModifyWorldTransform(FDc, nullptr, MWT_IDENTITY);
        },
        [color](TPointF) { return color; });
  }

 private:
  struct TState {
    TMatrix Matrix;
    bool Antialiased = true;
    bool HasPen = true;
    TDrawPen Pen;
    bool HasBrush = false;
    TRGBA Brush;
    int FontPixels = 12;
    bool Bold = false;
  };

  // Fill with the brush, then the outline with the pen.
  void Draw(const TFigure& figure) {
    if (FState.HasBrush) {
      const TRGBA brush = FState.Brush;
      Cover([&](const TMatrix& m) { FillFigure(figure, m); }, [brush](TPointF) { return brush; });
    }
    Stroke(figure);
  }

  void Stroke(const TFigure& figure) {
    if (!FState.HasPen || FState.Pen.Color.A == 0) return;
    const TRGBA color = FState.Pen.Color;
    Cover([&](const TMatrix& m) { StrokeFigure(figure, m); }, [color](TPointF) { return color; });
  }

  void Trace(const TFigure& figure, const TMatrix& m) {
    auto device = [&m](TPointF p) {
      const TPointF d = m.Map(p);
      return POINT{LONG(std::lround(d.X)), LONG(std::lround(d.Y))};
    };
    BeginPath(FDc);
    const POINT start = device(figure.Start);
    MoveToEx(FDc, start.x, start.y, nullptr);
    for (const TFigure::TStep& step : figure.Steps) {
      if (step.Cubic) {
        const POINT c[3] = {device(step.C1), device(step.C2), device(step.End)};
        PolyBezierTo(FDc, c, 3);
      } else {
        const POINT e = device(step.End);
        LineTo(FDc, e.x, e.y);
      }
    }
    if (figure.Closed) CloseFigure(FDc);
    EndPath(FDc);
  }

  void FillFigure(const TFigure& figure, const TMatrix& m) {
    Trace(figure, m);
    const HGDIOBJ old = SelectObject(FDc, GetStockObject(WHITE_BRUSH));
    FillPath(FDc);
    SelectObject(FDc, old);
  }

  void StrokeFigure(const TFigure& figure, const TMatrix& m) {
    const TDrawPen& pen = FState.Pen;
    const double width = std::max(pen.Width, 0.0) * std::sqrt(std::abs(m.Det()));
    HPEN handle;
    if (width < 1.5) {
      // One device pixel (a pen of width 0 is one pixel too): the system's own thin lines, which
      // cover both ends of each segment of a closed figure.
      const int style = pen.Dash == TPenDash::Dash ? PS_DASH : pen.Dash == TPenDash::Dot ? PS_DOT : PS_SOLID;
      handle = CreatePen(style, 1, RGB(255, 255, 255));
    } else {
      const DWORD w = DWORD(std::lround(width));
      const DWORD cap = pen.Cap == TPenCap::Flat    ? PS_ENDCAP_FLAT
                        : pen.Cap == TPenCap::Round ? PS_ENDCAP_ROUND
                                                    : PS_ENDCAP_SQUARE;
      const DWORD join = pen.Join == TPenJoin::Miter   ? PS_JOIN_MITER
                         : pen.Join == TPenJoin::Round ? PS_JOIN_ROUND
                                                       : PS_JOIN_BEVEL;
      // Dashes as the other widgetset draws them: in pen widths, dash 4 gap 2, dot 1 gap 2.
      const DWORD dash[2] = {4 * w, 2 * w}, dot[2] = {w, 2 * w};
      const DWORD* pattern = pen.Dash == TPenDash::Dash ? dash : pen.Dash == TPenDash::Dot ? dot : nullptr;
      const LOGBRUSH brush{BS_SOLID, RGB(255, 255, 255), 0};
      handle = ExtCreatePen(PS_GEOMETRIC | (pattern ? PS_USERSTYLE : PS_SOLID) | cap | join, w, &brush, pattern ? 2 : 0,
                            pattern);
    }
    if (!handle) return;
    Trace(figure, m);
    const HGDIOBJ old = SelectObject(FDc, handle);
    StrokePath(FDc);
    SelectObject(FDc, old);
    DeleteObject(handle);
  }

  // Draws a figure's coverage with `draw` (given the matrix to the mask's pixels) and lays
  // `colorAt` (a function of the painter's coordinates) over the samples it covers. Without
  // antialiasing the mask has one sample a pixel, spread over the pixel's samples.
  template <class TDraw, class TColorAt>
  void Cover(TDraw&& draw, TColorAt&& colorAt) {
    const int factor = FState.Antialiased ? FSamples : 1;
    const int maskWide = FWidth * factor, maskHigh = FHeight * factor;
    for (int y = 0; y < maskHigh; ++y)
      std::fill_n(FMaskBits + std::size_t(y) * std::size_t(FSamplesWide), maskWide, 0u);
    const TMatrix toMask = FState.Matrix.Scaled(factor);
    draw(toMask);
    GdiFlush();
    // Colours are looked up at each sample's centre, back in the painter's coordinates.
    const TMatrix back = FState.Matrix.Scaled(FSamples).Inverted();
    const int step = FSamples / factor;
    for (int y = 0; y < FSamplesHigh; ++y) {
      const std::uint32_t* maskRow = FMaskBits + std::size_t(y / step) * std::size_t(FSamplesWide);
      std::uint32_t* row = FAccum.data() + std::size_t(y) * std::size_t(FSamplesWide);
      for (int x = 0; x < FSamplesWide; ++x) {
        const std::uint32_t m = maskRow[x / step];
        // Text is drawn in grey levels: the brightest channel is its coverage.
        const unsigned coverage = std::max({m & 0xFF, (m >> 8) & 0xFF, (m >> 16) & 0xFF});
        if (coverage == 0) continue;
        row[x] = Over(Premultiplied(colorAt(back.Map({x + 0.5, y + 0.5})), coverage), row[x]);
      }
    }
  }

  int FWidth, FHeight, FSamples, FSamplesWide, FSamplesHigh;
  std::vector<std::uint32_t> FAccum;  // the samples, premultiplied 0xAARRGGBB
  HDC FDc = nullptr;
  HBITMAP FMask = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  std::uint32_t* FMaskBits = nullptr;
  TState FState;
  std::vector<TState> FSaved;
};

class TGdiPictureRenderer final : public TPictureRenderer {
 public:
  TPicture Render(const TPictureDrawing& draw, int boxWidth, int boxHeight, int width, int height) override {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
    if (width > MaxPictureSide || height > MaxPictureSide) throw std::length_error("picture too large to draw");
    int samples = MaxSamplesSide;
    while (samples > 1 && (long long)width * height * samples * samples > MaxSamples) --samples;
    const TMatrix base{double(width) / boxWidth, 0, 0, double(height) / boxHeight, 0, 0};
    TGdiPainter painter(width, height, samples, base);
    draw(painter);
    return painter.Picture();
  }

  TPicture Scale(const TPicture& picture, int width, int height) override {
    if (picture.Empty() || width <= 0 || height <= 0) return {};
    // Premultiplied channels scale independently: the colours in one bitmap, the alpha in
    // another, each through the widgetset's smooth scaler.
    TBitmap colors(picture.Width(), picture.Height()), alpha(picture.Width(), picture.Height());
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x) {
        const std::uint32_t p = picture.Pixel(x, y), a = p >> 24;
        colors.SetPixel(x, y, p & 0x00FFFFFF);
        alpha.SetPixel(x, y, a << 16 | a << 8 | a);
      }
    TSmoothScaler scaler;
    TBitmap scaledColors, scaledAlpha;
    const TRect all{0, 0, picture.Width(), picture.Height()};
    scaler.Scale(colors, all, width, height, scaledColors);
    scaler.Scale(alpha, all, width, height, scaledAlpha);
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const std::uint32_t a = scaledAlpha.Pixel(x, y) & 0xFF, c = scaledColors.Pixel(x, y);
        // Premultiplied: no channel above the alpha.
        const std::uint32_t r = std::min((c >> 16) & 0xFF, a), g = std::min((c >> 8) & 0xFF, a),
                            b = std::min(c & 0xFF, a);
        pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = a << 24 | r << 16 | g << 8 | b;
      }
    return TPicture(width, height, std::move(pixels));
  }
};

}  // namespace

void InstallWin32PictureRenderer() {
  static TGdiPictureRenderer renderer;
  Drawing::InstallRenderer(&renderer);
}
