#include <gtest/gtest.h>

#include <algorithm>

#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"
#include "platform/win32/widgetset/win32api.h"
#include "platform/win32/widgetset/wsraster.h"

namespace {

constexpr std::uint32_t White = 0x00FFFFFF;

// The box of the pixels that differ from `background`; empty when none do.
TRect ChangedBox(const TBitmap& bitmap, std::uint32_t background) {
  TRect box{bitmap.Width(), bitmap.Height(), 0, 0};
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      if (bitmap.Pixel(x, y) != background) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  return box.IsEmpty() ? TRect{} : box;
}

TFont TestFont(const char* face, int size = 14, unsigned style = 0) {
  TFont font;
  font.Name = face;
  font.Size = size;
  font.Color = 0x000000;
  font.Style = style;
  return font;
}

struct TTextCase {
  const char* Text;
  unsigned Style;
};

class TGdiTextTest : public testing::TestWithParam<TTextCase> {};

// The pixels GDI changes are exactly the ink the engine measured, inside the box its advance and
// height give (widened only by the measured overhang): the canvas's damage and text placement rest
// on that.
TEST_P(TGdiTextTest, DrawnPixelsAreTheMeasuredInk) {
  TGdiFontEngine& engine = GdiFontEngine();
  const TFont font = TestFont("Tahoma", 16, GetParam().Style);
  TBitmap bitmap(200, 60);
  bitmap.Fill(White);
  const TFontEngine::TMetrics m = engine.Measure(font, &bitmap, GetParam().Text);
  ASSERT_GT(m.Advance, 0);
  ASSERT_GT(m.Height, 10);
  engine.Draw(bitmap, {}, font, 20, 10, GetParam().Text, std::nullopt);
  const TRect changed = ChangedBox(bitmap, White);
  ASSERT_FALSE(changed.IsEmpty());
  EXPECT_EQ(changed, (TRect{20 + m.Ink.Left, 10 + m.Ink.Top, 20 + m.Ink.Right, 10 + m.Ink.Bottom}));
  EXPECT_GE(changed.Top, 10 + std::min(0, m.Ink.Top));
  EXPECT_LE(changed.Bottom, 10 + std::max(m.Height, m.Ink.Bottom));
  EXPECT_LE(changed.Right, 20 + std::max(m.Advance, m.Ink.Right));
  // The glyphs span most of the advance: it is the text's width, not a guess.
  EXPECT_GT(changed.Width(), m.Advance / 2);
}

INSTANTIATE_TEST_SUITE_P(Texts, TGdiTextTest,
                         testing::Values(TTextCase{"Quilmar", 0}, TTextCase{"Wj|gy", fsItalic},
                                         TTextCase{"\xE4\xBD\xA0\xE5\xA5\xBD", 0}, TTextCase{"Ab", fsBold}));

TEST(TGdiTextDrawing, BackgroundFillsTheAdvanceAndHeight) {
  TGdiFontEngine& engine = GdiFontEngine();
  TFont font = TestFont("Tahoma", 20);
  font.Color = TColor(0xFF0000);  // blue, 0x00BBGGRR
  TBitmap bitmap(120, 40);
  bitmap.Fill(White);
  const auto m = engine.Measure(font, &bitmap, "Hi");
  engine.Draw(bitmap, {}, font, 5, 4, "Hi", TColor(0x0000FF));  // red
  EXPECT_EQ(ChangedBox(bitmap, White), (TRect{5, 4, 5 + m.Advance, 4 + m.Height}));
  EXPECT_EQ(bitmap.Pixel(5, 4), 0x00FF0000u);  // a red corner, as 0x00RRGGBB
  // The stems of the letters are the font's colour.
  int blue = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) blue += bitmap.Pixel(x, y) == 0x000000FFu;
  EXPECT_GT(blue, 10);
}

TEST(TGdiTextDrawing, NothingIsDrawnInsideExcludedRectanglesOrOutsideTheBitmap) {
  TGdiFontEngine& engine = GdiFontEngine();
  const TFont font = TestFont("Tahoma", 20);
  TBitmap whole(160, 40), clipped(160, 40);
  whole.Fill(White);
  clipped.Fill(White);
  const TRect hole{30, 0, 60, 40};
  engine.Draw(whole, {}, font, -6, 2, "MMMMMMMM", std::nullopt);
  engine.Draw(clipped, std::span<const TRect>(&hole, 1), font, -6, 2, "MMMMMMMM", std::nullopt);
  int inkInHole = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 160; ++x) {
      const bool inHole = x >= hole.Left && x < hole.Right;
      if (inHole) {
        inkInHole += whole.Pixel(x, y) != White;
        EXPECT_EQ(clipped.Pixel(x, y), White) << x << "," << y;
      } else {
        EXPECT_EQ(clipped.Pixel(x, y), whole.Pixel(x, y)) << x << "," << y;
      }
    }
  // The text does cross the hole, so the check above could fail.
  EXPECT_GT(inkInHole, 20);
  // Its left edge, cut by the bitmap's, still reached column 0.
  EXPECT_EQ(ChangedBox(whole, White).Left, 0);
}

TEST(TGdiTextDrawing, CanvasTextUsesTheEngine) {
  TBitmap bitmap(100, 30);
  TCanvas canvas;
  canvas.SetTarget(&bitmap);
  bitmap.Fill(White);
  canvas.Font = TestFont("Tahoma");
  canvas.Brush.Style = bsClear;
  canvas.TextOut(2, 2, "Text");
  EXPECT_EQ(canvas.TextWidth("Text"), GdiFontEngine().Measure(canvas.Font, &bitmap, "Text").Advance);
  EXPECT_FALSE(ChangedBox(bitmap, White).IsEmpty());
}

// Whether the face draws U+4F60 from glyphs of its own.
bool HasChineseGlyph(const String& face) {
  HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTW log{};
  log.lfHeight = -16;
  log.lfCharSet = DEFAULT_CHARSET;
  const std::wstring wide = WideOf(face);
  wide.copy(log.lfFaceName, std::min<std::size_t>(wide.size(), LF_FACESIZE - 1));
  HFONT font = CreateFontIndirectW(&log);
  const HGDIOBJ old = SelectObject(dc, font);
  WORD glyph = 0xFFFF;
  const wchar_t ni = 0x4F60;
  GetGlyphIndicesW(dc, &ni, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return glyph != 0xFFFF;
}

int CALLBACK FirstFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM face) {
  if (!(type & TRUETYPE_FONTTYPE) || font->lfFaceName[0] == L'@') return 1;
  *reinterpret_cast<std::wstring*>(face) = font->lfFaceName;
  return 0;
}

// A TrueType face the desktop has.
String SomeInstalledFace() {
  HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  std::wstring face;
  EnumFontFamiliesExW(dc, &query, FirstFace, reinterpret_cast<LPARAM>(&face), 0);
  DeleteDC(dc);
  return Utf8Of(face);
}

TEST(TGdiFaces, AMissingFaceFallsBackToOneWithChineseGlyphs) {
  TGdiFontEngine& engine = GdiFontEngine();
  EXPECT_EQ(engine.ResolveFace(""), "");
  const String installed = SomeInstalledFace();
  ASSERT_FALSE(installed.empty());
  EXPECT_EQ(engine.ResolveFace(installed), installed);
  const String fallback = engine.ResolveFace("No Such Face Anywhere");
  ASSERT_FALSE(fallback.empty());
  EXPECT_NE(fallback, "No Such Face Anywhere");
  EXPECT_TRUE(HasChineseGlyph(fallback)) << fallback;
  // A Windows face the desktop may lack resolves to one it has.
  EXPECT_FALSE(engine.ResolveFace("\xE6\xA5\xB7\xE4\xBD\x93").empty());
}

// 0x00RRGGBB of four quadrants.
constexpr std::uint32_t Quadrants[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFF00};

TBitmap QuadrantBitmap(int size) {
  TBitmap b(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) b.SetPixel(x, y, Quadrants[(y >= size / 2) * 2 + (x >= size / 2)]);
  return b;
}

struct TScaleCase {
  int From;
  int To;
};

class TSmoothScalerTest : public testing::TestWithParam<TScaleCase> {};

// Shrinking averages inside each quadrant and enlarging interpolates between them: either way the
// corners keep their colours and the middle of each quadrant is its colour.
TEST_P(TSmoothScalerTest, CornersAndAreasKeepTheirColours) {
  const auto [from, to] = GetParam();
  const TBitmap source = QuadrantBitmap(from);
  TBitmap out;
  TSmoothScaler().Scale(source, TRect{0, 0, from, from}, to, to, out);
  ASSERT_EQ(out.Width(), to);
  ASSERT_EQ(out.Height(), to);
  EXPECT_EQ(out.Pixel(0, 0), Quadrants[0]);
  EXPECT_EQ(out.Pixel(to - 1, 0), Quadrants[1]);
  EXPECT_EQ(out.Pixel(0, to - 1), Quadrants[2]);
  EXPECT_EQ(out.Pixel(to - 1, to - 1), Quadrants[3]);
  EXPECT_EQ(out.Pixel(to / 4, to / 4), Quadrants[0]);
  EXPECT_EQ(out.Pixel(3 * to / 4, 3 * to / 4), Quadrants[3]);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TSmoothScalerTest,
                         testing::Values(TScaleCase{8, 4}, TScaleCase{40, 8}, TScaleCase{4, 16}, TScaleCase{6, 30},
                                         TScaleCase{10, 10}));

TEST(TSmoothScaling, ShrinkingAveragesAndAPartSeesNothingBesideIt) {
  TBitmap stripes(4, 1);
  for (int x = 0; x < 4; ++x) stripes.SetPixel(x, 0, x % 2 ? 0x00FFFFFF : 0x00000000);
  TBitmap out;
  TSmoothScaler().Scale(stripes, TRect{0, 0, 4, 1}, 1, 1, out);
  EXPECT_EQ(out.Pixel(0, 0), 0x00808080u);
  // Enlarging the black pixel alone gives black only: the white beside it is not in the part.
  TSmoothScaler().Scale(stripes, TRect{2, 0, 3, 1}, 5, 3, out);
  EXPECT_EQ(ChangedBox(out, 0), TRect{});
  // Rendering a window of the source: the right half of the quadrants, enlarged.
  const TBitmap source = QuadrantBitmap(8);
  TSmoothScaler().Render(source, 4, 0, 4, 8, 8, 16, out);
  ASSERT_EQ(out.Width(), 8);
  EXPECT_EQ(out.Pixel(1, 0), Quadrants[1]);
  EXPECT_EQ(out.Pixel(7, 15), Quadrants[3]);
}

}  // namespace
