// Pictures the program draws itself: the painter the widgetset gives them, the drawn pictures and
// the image list, and their icons.
#include "platform/drawing.h"

#include <gtest/gtest.h>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <stdexcept>

#include "platform/imagelist.h"
#include "platform/qt/qtpictures.h"

namespace {

class DrawingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallQtPictureRenderer(); }
};

QImage Premultiplied(const QPixmap& pixmap) {
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Every operation of the painter once, with each kind of pen and brush, on a box of 24x24.
void DrawEverything(TPainter& p) {
  p.FillRect({0, 0, 24, 12},
             TLinearGradient{{0, 0}, {24, 12}, {{0, {0x60, 0x20, 0x90}}, {1, {0xC0, 0x40, 0x80, 0x80}}}});
  p.FillRect({0, 12, 6, 6}, TRGBA{0xFF, 0xFF, 0xFF, 0xB0});
  p.Save();
  p.SetPen(TDrawPen{{0x20, 0x50, 0xC0}, 1.6, TPenDash::Solid, TPenCap::Round, TPenJoin::Round});
  p.SetBrush(TRGBA{0xF0, 0x90, 0xA0});
  p.Translate(12, 12);
  p.Rotate(-35);
  p.Scale(1.2, 0.8);
  p.DrawRect({-6.5, -3.5, 8, 7});
  p.Restore();
  p.SetPen(TDrawPen{{0x20, 0x20, 0x20}, 1, TPenDash::Dash});
  p.DrawRoundedRect({1.5, 13.5, 9, 9}, 2, 1.5);
  p.SetPen(TDrawPen{{0x20, 0x90, 0x30}, 2, TPenDash::Dot, TPenCap::Flat, TPenJoin::Miter});
  p.SetNoBrush();
  p.DrawEllipse({12.5, 12.5, 10, 8});
  p.DrawArc({3, 3, 10, 10}, 60, 280);
  const TPointF triangle[] = {{20, 1}, {23, 4.5}, {18.5, 6.5}, {22, 0}};
  p.SetNoPen();
  p.SetBrush(TRGBA{0x30, 0xC0, 0x40});
  p.DrawPolygon(triangle);
  p.SetPen(TDrawPen{{0xC0, 0x20, 0x20}, 2, TPenDash::Solid, TPenCap::Round});
  p.DrawPath(TPath({2, 22}).CubicTo({5, 12}, {8, 26}, {14, 14}));
  p.SetAntialiasing(false);
  p.DrawLine({2.5, 20.5}, {21.5, 2.5});
  p.SetFont(11, true);
  p.DrawCentredText({4, 4, 16, 16}, "A?");
}

void DrawEverythingWithQt(QPainter& p) {
  QLinearGradient gradient(0, 0, 24, 12);
  gradient.setColorAt(0, QColor(0x60, 0x20, 0x90));
  gradient.setColorAt(1, QColor(0xC0, 0x40, 0x80, 0x80));
  p.fillRect(QRectF(0, 0, 24, 12), gradient);
  p.fillRect(QRectF(0, 12, 6, 6), QColor(0xFF, 0xFF, 0xFF, 0xB0));
  p.save();
  p.setPen(QPen(QColor(0x20, 0x50, 0xC0), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(0xF0, 0x90, 0xA0));
  p.translate(12, 12);
  p.rotate(-35);
  p.scale(1.2, 0.8);
  p.drawRect(QRectF(-6.5, -3.5, 8, 7));
  p.restore();
  p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1, Qt::DashLine));
  p.drawRoundedRect(QRectF(1.5, 13.5, 9, 9), 2, 1.5);
  p.setPen(QPen(QColor(0x20, 0x90, 0x30), 2, Qt::DotLine, Qt::FlatCap, Qt::MiterJoin));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(12.5, 12.5, 10, 8));
  p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x30, 0xC0, 0x40));
  p.drawPolygon(QPolygonF({QPointF(20, 1), QPointF(23, 4.5), QPointF(18.5, 6.5), QPointF(22, 0)}));
  p.setPen(QPen(QColor(0xC0, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
  QPainterPath path(QPointF(2, 22));
  path.cubicTo(5, 12, 8, 26, 14, 14);
  p.drawPath(path);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.drawLine(QPointF(2.5, 20.5), QPointF(21.5, 2.5));
  QFont font = p.font();
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(4, 4, 16, 16), Qt::AlignCenter, QStringLiteral("A?"));
}

}  // namespace

// The painter is QPainter itself: the same drawing gives the same pixels at every device size,
// as a transparent, antialiased, scaled picture.
TEST_F(DrawingTest, ThePainterDrawsWhatQPainterDrawsAtEveryRatio) {
  const TDrawnPicture picture(24, 24, DrawEverything);
  for (const QSize device : {QSize(24, 24), QSize(48, 48), QSize(30, 36)}) {
    SCOPED_TRACE(device.width());
    QImage expected(device, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
      QPainter p(&expected);
      p.setRenderHint(QPainter::Antialiasing);
      p.scale(device.width() / 24.0, device.height() / 24.0);
      DrawEverythingWithQt(p);
    }
    const TPicture drawn = picture.Draw(device.width(), device.height());
    ASSERT_EQ(QSize(drawn.Width(), drawn.Height()), device);
    EXPECT_EQ(QtImage(drawn), expected);
  }
  EXPECT_EQ(picture.Draw(24, 24), picture.Plain());
  EXPECT_EQ(PictureOf(QtImage(picture.Plain())), picture.Plain());
  // Nothing to draw into: no picture, and no drawing called.
  EXPECT_TRUE(picture.Draw(0, 24).Empty());
  EXPECT_TRUE(DrawPicture(-1, 5, [](TPainter&) { FAIL() << "drawn into nothing"; }).Empty());
}

TEST_F(DrawingTest, PicturesHoldTheirPixelsAndNeedARenderer) {
  EXPECT_THROW(TPicture(2, 2, std::vector<std::uint32_t>(3)), std::invalid_argument);
  EXPECT_THROW(TPicture(-1, 0, {}), std::invalid_argument);
  EXPECT_TRUE(TPicture(0, 7, {}).Empty());
  const TPicture a(2, 1, {0xFF000000u, 0x80402010u});
  EXPECT_EQ(a.Pixel(1, 0), 0x80402010u);
  EXPECT_EQ(a, TPicture(2, 1, {0xFF000000u, 0x80402010u}));
  EXPECT_FALSE(a == TPicture(1, 2, {0xFF000000u, 0x80402010u}));
  EXPECT_FALSE(a == TPicture(2, 1, {0xFF000000u, 0x80402011u}));

  Drawing::InstallRenderer(nullptr);
  EXPECT_THROW(DrawPicture(4, 4, [](TPainter&) {}), std::logic_error);
  InstallQtPictureRenderer();
}

// The list hands out its pictures by index, as icons drawn at the ratio asked for that keep
// their colours when disabled; a fixed picture is fitted to the list's size.
TEST_F(DrawingTest, TheImageListsIconsAreItsPicturesAtEveryRatio) {
  TImageList list(16, 16);
  list.Add([](TPainter& p) {
    p.SetBrush(TRGBA{0xD0, 0x20, 0x20});
    p.DrawEllipse({1.5, 1.5, 13, 13});
  });
  list.Add(DrawPicture(32, 8, [](TPainter& p) { p.FillRect({0, 0, 16, 8}, TRGBA{0x20, 0x50, 0xC0}); }));
  ASSERT_EQ(list.Count(), 2);
  ASSERT_NE(list.Drawing(0), nullptr);
  EXPECT_EQ(list.Drawing(1), nullptr);
  EXPECT_EQ(list.Picture(1).Width(), 16);
  EXPECT_EQ(list.Picture(1).Height(), 16);
  EXPECT_EQ(list.Picture(1).Pixel(2, 8) >> 24, 0xFFu);   // the left half, stretched
  EXPECT_EQ(list.Picture(1).Pixel(13, 8) >> 24, 0x00u);  // the transparent right half
  for (const int index : {-1, 2}) {
    EXPECT_TRUE(list.Picture(index).Empty()) << index;
    EXPECT_EQ(list.Drawing(index), nullptr) << index;
    EXPECT_TRUE(QtIcon(list, index).isNull()) << index;
  }

  for (int index = 0; index < list.Count(); ++index) {
    SCOPED_TRACE(index);
    const QIcon icon = QtIcon(list, index);
    const QImage plain = QtImage(list.Picture(index));
    EXPECT_EQ(icon.actualSize(QSize(32, 32)), QSize(16, 16));
    EXPECT_EQ(Premultiplied(icon.pixmap(QSize(16, 16), 1.0)), plain);
    EXPECT_EQ(Premultiplied(icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled)), plain);
  }
  const QIcon drawn = QtIcon(list, 0);
  EXPECT_EQ(Premultiplied(drawn.pixmap(QSize(16, 16), 2.0)), QtImage(list.Drawing(0)->Draw(32, 32)));
  EXPECT_EQ(Premultiplied(drawn.pixmap(QSize(16, 16), 2.0, QIcon::Disabled)), QtImage(list.Drawing(0)->Draw(32, 32)));
  EXPECT_EQ(drawn.pixmap(QSize(12, 12), 1.0).size(), QSize(12, 12));
  EXPECT_EQ(Premultiplied(QtIcon(list.Picture(0)).pixmap(QSize(16, 16))), QtImage(list.Picture(0)));
  EXPECT_TRUE(QtIcon(TPicture()).isNull());
  EXPECT_TRUE(QtIcon(TDrawnPicture()).isNull());
}
