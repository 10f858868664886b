#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

// Pictures the program draws itself (glyphs, the marker): a small vector painter each widgetset
// implements with its own antialiased drawing, and the pictures it produces.

struct TPointF {
  double X = 0;
  double Y = 0;
};

// The box from (Left, Top) of Width x Height, in the painter's coordinates.
struct TRectF {
  double Left = 0;
  double Top = 0;
  double Width = 0;
  double Height = 0;
};

// A colour with its opacity (255 opaque), not premultiplied.
struct TRGBA {
  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
  std::uint8_t A = 255;
  friend constexpr bool operator==(const TRGBA&, const TRGBA&) = default;
};

enum class TPenDash { Solid, Dash, Dot };
enum class TPenCap { Square, Flat, Round };
enum class TPenJoin { Bevel, Miter, Round };

// A pen's width is in the painter's coordinates, so it scales with the picture.
struct TDrawPen {
  TRGBA Color;
  double Width = 1;
  TPenDash Dash = TPenDash::Solid;
  TPenCap Cap = TPenCap::Square;
  TPenJoin Join = TPenJoin::Bevel;
};

// Colours along the line from Start to End (Position 0 to 1), padded with the end colours
// beyond it.
struct TLinearGradient {
  struct TStop {
    double Position = 0;
    TRGBA Color;
  };
  TPointF Start;
  TPointF End;
  std::vector<TStop> Stops;
};

// An outline from Start through cubic Bézier segments.
class TPath {
 public:
  struct TCubic {
    TPointF Control1;
    TPointF Control2;
    TPointF End;
  };
  explicit TPath(TPointF start) : FStart(start) {}
  TPath& CubicTo(TPointF control1, TPointF control2, TPointF end) {
    FCubics.push_back({control1, control2, end});
    return *this;
  }
  TPointF Start() const { return FStart; }
  const std::vector<TCubic>& Cubics() const { return FCubics; }

 private:
  TPointF FStart;
  std::vector<TCubic> FCubics;
};

// Draws on a picture. A new painter has a one-pixel black pen, no brush, antialiasing on and the
// platform's default font. Outlines are drawn with the pen and filled with the brush.
class TPainter {
 public:
  virtual ~TPainter() = default;

  // Keeps and brings back the pen, brush, font, antialiasing and transformation.
  virtual void Save() = 0;
  virtual void Restore() = 0;
  virtual void Translate(double dx, double dy) = 0;
  // Turns the coordinates by `degrees`, clockwise on the screen (y grows downwards).
  virtual void Rotate(double degrees) = 0;
  virtual void Scale(double sx, double sy) = 0;
  virtual void SetAntialiasing(bool on) = 0;

  virtual void SetPen(const TDrawPen& pen) = 0;
  virtual void SetNoPen() = 0;
  virtual void SetBrush(TRGBA color) = 0;
  virtual void SetNoBrush() = 0;
  // The current face at `pixelSize` pixels of height.
  virtual void SetFont(int pixelSize, bool bold) = 0;

  // Fills the box, whatever the pen and brush.
  virtual void FillRect(const TRectF& box, TRGBA color) = 0;
  virtual void FillRect(const TRectF& box, const TLinearGradient& gradient) = 0;
  virtual void DrawRect(const TRectF& box) = 0;
  virtual void DrawRoundedRect(const TRectF& box, double radiusX, double radiusY) = 0;
  virtual void DrawEllipse(const TRectF& box) = 0;
  virtual void DrawLine(TPointF from, TPointF to) = 0;
  // A closed polygon; where it crosses itself, alternate areas are filled.
  virtual void DrawPolygon(std::span<const TPointF> points) = 0;
  // The part of the ellipse in `box` from `startDegrees` (0 is three o'clock) over `spanDegrees`,
  // counter-clockwise for positive spans; not filled.
  virtual void DrawArc(const TRectF& box, double startDegrees, double spanDegrees) = 0;
  virtual void DrawPath(const TPath& path) = 0;
  // UTF-8 text in the pen's colour, centred in `box`. (Not DrawText: <windows.h> takes that name
  // for a macro.)
  virtual void DrawCentredText(const TRectF& box, std::string_view text) = 0;
};

// The pixels of a picture: width x height, rows packed, each 0xAARRGGBB with the colour
// premultiplied by the alpha (the layout of QImage::Format_ARGB32_Premultiplied and of a
// premultiplied 32-bit DIB). Copies share the pixels, which never change.
class TPicture {
 public:
  TPicture() = default;
  // Throws std::invalid_argument when `pixels` does not hold width x height of them.
  TPicture(int width, int height, std::vector<std::uint32_t> pixels);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  const std::uint32_t* ScanLine(int y) const { return FPixels->data() + std::ptrdiff_t{y} * FWidth; }
  std::uint32_t Pixel(int x, int y) const { return ScanLine(y)[x]; }
  // Same size and the same pixels.
  friend bool operator==(const TPicture& a, const TPicture& b);

 private:
  int FWidth = 0;
  int FHeight = 0;
  std::shared_ptr<const std::vector<std::uint32_t>> FPixels;
};

// Draws one picture into its box of width x height logical pixels; the painter is scaled for the
// device the picture is made for.
using TPictureDrawing = std::function<void(TPainter&)>;

// What draws pictures on a platform. Each widgetset installs one at start-up (QPainter on Linux);
// drawing a picture without one is a programming error and throws std::logic_error.
class TPictureRenderer {
 public:
  virtual ~TPictureRenderer() = default;
  // `draw` on a transparent picture of width x height device pixels, the painter antialiased and
  // scaled so that the box of boxWidth x boxHeight fills the picture. Empty for an empty size.
  virtual TPicture Render(const TPictureDrawing& draw, int boxWidth, int boxHeight, int width, int height) = 0;
  // `picture` smoothly scaled to width x height, whatever its proportions.
  virtual TPicture Scale(const TPicture& picture, int width, int height) = 0;
};

namespace Drawing {

// The renderer every picture is drawn with; the widgetset owns it and it outlives every drawing.
void InstallRenderer(TPictureRenderer* renderer);
TPictureRenderer& Renderer();

}  // namespace Drawing

// `draw` on a transparent picture of width x height pixels, at ratio 1.
TPicture DrawPicture(int width, int height, const TPictureDrawing& draw);

// A picture of width x height logical pixels kept as its drawing, so that a scaled screen gets it
// drawn at its own device ratio instead of stretched. Copies share the drawing.
class TDrawnPicture {
 public:
  TDrawnPicture() = default;
  // Draws the plain picture at once.
  TDrawnPicture(int width, int height, TPictureDrawing draw);

  int Width() const { return FPlain.Width(); }
  int Height() const { return FPlain.Height(); }
  bool Empty() const { return FPlain.Empty(); }
  // At ratio 1.
  const TPicture& Plain() const { return FPlain; }
  // Drawn anew into width x height device pixels, the box stretched to them; at the box's own
  // size the plain picture itself.
  TPicture Draw(int width, int height) const;

 private:
  std::shared_ptr<const TPictureDrawing> FDraw;
  TPicture FPlain;
};
