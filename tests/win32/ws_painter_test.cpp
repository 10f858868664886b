#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/drawing.h"

namespace {

constexpr std::uint32_t Transparent = 0;

std::uint32_t Alpha(std::uint32_t p) { return p >> 24; }

// A probe in the box's coordinates: the pixel of a picture drawn at any size that lies under it.
struct TProbe {
  double X, Y;
  std::uint32_t Expected;  // premultiplied 0xAARRGGBB
  int Tolerance = 0;       // per channel
};

struct TPictureCase {
  const char* Name;
  int Box;
  std::function<void(TPainter&)> Draw;
  std::vector<TProbe> Probes;
  // Smooth: some pixel along an edge is partly covered. Crisp: every pixel is either transparent or
  // has the alpha of a probe.
  bool Smooth;
};

std::uint32_t At(const TPicture& picture, double x, double y, int box) {
  const double ratio = double(picture.Width()) / box;
  return picture.Pixel(int(x * ratio), int(y * ratio));
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  return true;
}

const TPictureCase Cases[] = {
    // The marker's kind of picture: a crisp frame of translucent white over a gradient.
    {"Marker",
     36,
     [](TPainter& p) {
       p.SetAntialiasing(false);
       p.FillRect({0, 0, 36, 36},
                  TLinearGradient{{0, 0}, {36, 36}, {{0, {0x60, 0x20, 0x90}}, {1, {0xC0, 0x40, 0x80}}}});
       p.SetPen(TDrawPen{TRGBA{0xFF, 0xFF, 0xFF, 0x90}});
       p.DrawRect({0, 0, 35, 35});
     },
     {{0.2, 18, 0xFFC5A2CD, 6},   // the frame over the gradient: white at 0x90
      {35.1, 18, 0xFFD9A8CA, 6},  // the right edge too, on the last column
      {2.2, 2.2, 0xFF67228F, 4},  // next to the start of the gradient
      {18, 18, 0xFF913088, 4},    // halfway
      {33.5, 33.5, 0xFFB93E81, 4}},
     false},
    // Antialiased figures with pen and brush; the area beyond them stays transparent.
    {"Ellipse",
     16,
     [](TPainter& p) {
       p.SetPen(TDrawPen{{0x20, 0x50, 0xC0}, 1});
       p.SetBrush(TRGBA{0xE0, 0xE8, 0xFF});
       p.DrawEllipse({1.5, 1.5, 13, 13});
     },
     {{8, 8, 0xFFE0E8FF, 2}, {0.2, 0.2, Transparent}, {15.8, 15.8, Transparent}, {8.2, 1.6, 0xFF2050C0, 80}},
     true},
    // The coordinates turn clockwise on the screen: a bar along x stands upright after 90 degrees.
    {"Rotated",
     16,
     [](TPainter& p) {
       p.Translate(8, 0);
       p.Rotate(90);
       p.SetNoPen();
       p.SetBrush(TRGBA{0xD0, 0x20, 0x20});
       p.DrawRect({0, 0, 16, 4});
     },
     {{5, 8, 0xFFD02020}, {7.5, 15.5, 0xFFD02020}, {3, 8, Transparent}, {9, 8, Transparent}},
     false},
    // A translucent brush keeps its alpha, premultiplied.
    {"Translucent",
     8,
     [](TPainter& p) {
       p.SetNoPen();
       p.SetAntialiasing(false);
       p.SetBrush(TRGBA{0xFF, 0xFF, 0xFF, 0x80});
       p.DrawRect({0, 0, 4, 8});
     },
     {{1, 1, 0x80808080, 1}, {3.9, 7.9, 0x80808080, 1}, {4.1, 4, Transparent}},
     false},
};

class TGdiPictures : public testing::TestWithParam<std::tuple<int, int>> {};

// Each picture, drawn at its box's size and at other sizes, has its colours where the box puts
// them.
TEST_P(TGdiPictures, DrawnPicturesKeepTheirColoursAtEverySize) {
  const auto [index, scale] = GetParam();
  const TPictureCase& c = Cases[index];
  SCOPED_TRACE(c.Name);
  const TDrawnPicture drawn(c.Box, c.Box, c.Draw);
  const TPicture picture = drawn.Draw(c.Box * scale, c.Box * scale);
  ASSERT_EQ(picture.Width(), c.Box * scale);
  for (const TProbe& probe : c.Probes) {
    const std::uint32_t got = At(picture, probe.X, probe.Y, c.Box);
    EXPECT_TRUE(Near(got, probe.Expected, probe.Tolerance))
        << std::hex << got << " at " << probe.X << "," << probe.Y << " instead of " << probe.Expected;
  }
  int partial = 0, foreign = 0;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const std::uint32_t p = picture.Pixel(x, y);
      // Premultiplied: no colour channel above the alpha.
      ASSERT_LE((p >> 16) & 0xFF, Alpha(p));
      ASSERT_LE((p >> 8) & 0xFF, Alpha(p));
      ASSERT_LE(p & 0xFF, Alpha(p));
      if (Alpha(p) > 0 && Alpha(p) < 255) ++partial;
      const bool probed = std::any_of(c.Probes.begin(), c.Probes.end(),
                                      [p](const TProbe& probe) { return Alpha(probe.Expected) == Alpha(p); });
      if (Alpha(p) != 0 && !probed) ++foreign;
    }
  if (c.Smooth)
    EXPECT_GT(partial, 0);
  else
    EXPECT_EQ(foreign, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TGdiPictures,
                         testing::Combine(testing::Range(0, int(std::size(Cases))), testing::Values(1, 2, 3)));

// Text is drawn in the pen's colour, centred, larger at a larger size.
TEST(TGdiPictureText, TextIsCentredInThePensColour) {
  const TDrawnPicture drawn(16, 16, [](TPainter& p) {
    p.SetFont(14, true);
    p.SetPen(TDrawPen{{0x20, 0x20, 0x20}});
    p.DrawCentredText({0, 0, 16, 16}, "A");
  });
  int previous = 0;
  for (const int size : {16, 32}) {
    const TPicture picture = drawn.Draw(size, size);
    int covered = 0;
    long long sumX = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const std::uint32_t p = picture.Pixel(x, y);
        if (Alpha(p) != 255) continue;
        EXPECT_EQ(p, 0xFF202020u);
        ++covered;
        sumX += x;
      }
    ASSERT_GT(covered, previous) << size;
    EXPECT_NEAR(double(sumX) / covered, size / 2.0, size / 8.0) << size;
    previous = covered;
  }
}

// Scaled, a picture's corners keep their colours and its transparency.
TEST(TGdiPictureText, ScalingKeepsCornersAndAlpha) {
  const TPicture picture(2, 2, {0xFFFF0000, 0x00000000, 0x80008000, 0xFF0000FF});
  const TPicture scaled = Drawing::Renderer().Scale(picture, 8, 8);
  ASSERT_EQ(scaled.Width(), 8);
  EXPECT_EQ(scaled.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(scaled.Pixel(7, 0), 0x00000000u);
  EXPECT_EQ(scaled.Pixel(0, 7), 0x80008000u);
  EXPECT_EQ(scaled.Pixel(7, 7), 0xFF0000FFu);
}

}  // namespace
