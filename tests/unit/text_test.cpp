#include <QFontDatabase>
#include <QFontInfo>

#include "platform/qt/qtraster.h"
#include "raster_support.h"

using namespace RasterTest;

namespace {

constexpr std::uint32_t Grey = 0x00808080;

struct TTextScene : TScene {
  TTextScene() : TScene(240, 60, Grey) {
    Canvas.Font.Size = 16;
    Canvas.Font.Color = clBlack;
  }
  int W() { return Canvas.TextWidth("Quilmar"); }
  int H() { return Canvas.TextHeight("Quilmar"); }
};

TPixels OutsideBox(const TPixels& p, int x, int y, int w, int h) {
  TPixels out;
  for (auto q : p)
    if (q.first < x || q.first >= x + w || q.second < y || q.second >= y + h) out.insert(q);
  return out;
}

}  // namespace

TEST(Text, SolidBrushFillsTheTextBoxAndTheGlyphsUseTheFontColour) {
  TTextScene s;
  s.Canvas.Brush.Style = bsSolid;
  const auto before = Snapshot(s.Bitmap);
  s.Canvas.TextOut(20, 10, "Quilmar");
  ASSERT_GT(s.W(), 20);
  ASSERT_GT(s.H(), 10);
  const TPixels changed = Changed(before, s.Bitmap);
  // The whole box changes (brush or ink); outside it only glyph ink may overhang a little.
  EXPECT_EQ(changed.size() - OutsideBox(changed, 20, 10, s.W(), s.H()).size(), std::size_t(s.W() * s.H()));
  EXPECT_TRUE(OutsideBox(Where(s.Bitmap, RedPixel), 20, 10, s.W(), s.H()).empty());
  EXPECT_TRUE(OutsideBox(changed, 18, 8, s.W() + 4, s.H() + 4).empty());
  EXPECT_EQ(s.Bitmap.Pixel(20, 10) & 0xFFFFFF, RedPixel);  // top-left of the box: background
  EXPECT_GT(Where(s.Bitmap, 0x000000).size(), 20u);        // glyph pixels
}

TEST(Text, ClearBrushLeavesTheBackgroundAndTheClipHolds) {
  TTextScene s;
  TTextScene plain;
  s.Canvas.ExcludeClipRect({0, 0, 40, 60});
  const auto before = Snapshot(s.Bitmap);
  s.Canvas.TextOut(20, 10, "Quilmar");
  plain.Canvas.TextOut(20, 10, "Quilmar");
  const TPixels changed = Changed(before, s.Bitmap);
  EXPECT_TRUE(Where(s.Bitmap, RedPixel).empty());
  EXPECT_FALSE(changed.empty());
  for (auto [x, y] : changed) EXPECT_GE(x, 40);
  // Left of the excluded area's edge nothing changed; right of it, the same pixels as unclipped.
  for (int y = 0; y < 60; ++y)
    for (int x = 40; x < 240; ++x) ASSERT_EQ(s.Bitmap.Pixel(x, y), plain.Bitmap.Pixel(x, y));
  EXPECT_FALSE(Changed(before, plain.Bitmap) == changed);  // the clip did cut something
}

TEST(Text, FarAwayTextDrawsNothing) {
  TTextScene s;
  s.Canvas.Brush.Style = bsSolid;
  const auto before = Snapshot(s.Bitmap);
  for (const auto& p :
       {std::array{1 << 30, 5}, std::array{-(1 << 30), 5}, std::array{5, INT32_MIN}, std::array{-400, 5}})
    s.Canvas.TextOut(p[0], p[1], "Quilmar");
  EXPECT_EQ(Snapshot(s.Bitmap), before);
}

TEST(Text, FacesTheDesktopLacksFallBackToOneWithLatinAndChineseGlyphs) {
  for (const char* name : {"MS Sans Serif", "宋体", "Microsoft YaHei", "No Such Face 42"}) {
    TFont font;
    font.Name = name;
    font.Size = 20;
    const QString face = ResolveFontFace(QStr(font.Name));
    ASSERT_FALSE(face.isEmpty()) << name;
    // The face really matched, not one borrowed glyph by glyph, has both scripts.
    const QString matched = QFontInfo(QFontOf(font)).family();
    const auto systems = QFontDatabase::writingSystems(matched);
    EXPECT_TRUE(systems.contains(QFontDatabase::Latin) && systems.contains(QFontDatabase::SimplifiedChinese))
        << name << " -> " << matched.toStdString();
  }
  // A face the desktop has is kept; no name means the default face.
  const QString present = QFontDatabase::families().constFirst();
  EXPECT_EQ(ResolveFontFace(present), present);
  EXPECT_TRUE(ResolveFontFace(QString()).isEmpty());
}
