#include "surface/glyphs.h"

#include <functional>

#include "platform/imagelist.h"

namespace {

constexpr TRGBA Ink{0x20, 0x20, 0x20};
constexpr TRGBA Red{0xD0, 0x20, 0x20};
constexpr TRGBA Blue{0x20, 0x50, 0xC0};
constexpr TRGBA Green{0x20, 0x90, 0x30};
constexpr TRGBA White{0xFF, 0xFF, 0xFF};

TDrawPen Stroke(TRGBA color, double width = 1.6) {
  return TDrawPen{color, width, TPenDash::Solid, TPenCap::Round, TPenJoin::Round};
}

// Dark outlines with a light halo, so that a glyph reads on the purple bar and in a white menu.
void Outlined(TPainter& p, const TPictureDrawing& shape) {
  p.Save();
  p.SetPen(Stroke(TRGBA{0xFF, 0xFF, 0xFF, 0xD0}, 3.4));
  p.SetNoBrush();
  shape(p);
  p.Restore();
  p.SetPen(Stroke(Ink));
  shape(p);
}

// A picture with a plain background, as the menu's own bitmaps are.
TDrawnPicture Picture(int width, int height, const TPictureDrawing& draw) {
  return TDrawnPicture(width, height, [width, height, draw](TPainter& p) {
    p.FillRect(TRectF{0, 0, double(width), double(height)}, TRGBA{0xF0, 0xF0, 0xF0});
    draw(p);
  });
}

// A dashed selection frame, the mark the three region pictures share.
void Selection(TPainter& p, const TRectF& frame) {
  p.SetBrush(White);
  p.SetPen(TDrawPen{Ink, 1, TPenDash::Dash});
  p.DrawRect(frame);
}

void Arrow(TPainter& p, double angle) {
  p.Translate(8, 8);
  p.Rotate(angle);
  p.SetNoPen();
  p.SetBrush(Blue);
  const TPointF arrow[] = {{0, -7}, {6, 0}, {2, 0}, {2, 6}, {-2, 6}, {-2, 0}, {-6, 0}};
  p.DrawPolygon(arrow);
}

}  // namespace

void DrawToolGlyphs(TImageList& list) {
  const std::function<void(TPainter&)> glyphs[] = {
      // 0 stop
      [](TPainter& p) {
        p.SetPen(Stroke(TRGBA{0x80, 0, 0}, 1));
        p.SetBrush(Red);
        p.DrawRoundedRect({2.5, 2.5, 11, 11}, 2, 2);
      },
      // 1 freehand
      [](TPainter& p) {
        TPath path({2, 12});
        path.CubicTo({5, 2}, {8, 16}, {14, 4});
        p.SetPen(Stroke(Red, 2));
        p.DrawPath(path);
      },
      // 2 line
      [](TPainter& p) { Outlined(p, [](TPainter& q) {
                          q.DrawLine({2.5, 13.5}, {13.5, 2.5});
                        }); },
      // 3 ellipse
      [](TPainter& p) { Outlined(p, [](TPainter& q) {
                          q.DrawEllipse({1.5, 3.5, 13, 9});
                        }); },
      // 4 rectangle
      [](TPainter& p) { Outlined(p, [](TPainter& q) {
                          q.DrawRect({2.5, 3.5, 11, 9});
                        }); },
      // 5 rounded rectangle
      [](TPainter& p) { Outlined(p, [](TPainter& q) {
                          q.DrawRoundedRect({1.5, 3.5, 13, 9}, 3.5, 3.5);
                        }); },
      // 6 diamond
      [](TPainter& p) {
        Outlined(p, [](TPainter& q) {
          const TPointF diamond[] = {{8, 1.5}, {14.5, 8}, {8, 14.5}, {1.5, 8}};
          q.DrawPolygon(diamond);
        });
      },
      // 7 selection
      [](TPainter& p) {
        p.SetAntialiasing(false);
        p.FillRect({2, 2, 12, 12}, TRGBA{0xFF, 0xFF, 0xFF, 0xB0});
        p.SetPen(TDrawPen{Ink, 1, TPenDash::Dot});
        p.DrawRect({2, 2, 11, 11});
        p.SetPen(Stroke(Blue, 1));
        p.DrawLine({10, 10}, {15, 15});
      },
      // 8 refresh
      [](TPainter& p) {
        p.SetPen(Stroke(Green, 2));
        p.DrawArc({3, 3, 10, 10}, 60, 280);
        p.SetNoPen();
        p.SetBrush(Green);
        const TPointF head[] = {{10, 1}, {14, 4.5}, {9.5, 6.5}};
        p.DrawPolygon(head);
      },
      // 9 eraser
      [](TPainter& p) {
        p.Translate(8, 8);
        p.Rotate(-35);
        p.SetPen(Stroke(Ink, 1));
        p.SetBrush(TRGBA{0xF0, 0x90, 0xA0});
        p.DrawRect({-6.5, -3.5, 8, 7});
        p.SetBrush(White);
        p.DrawRect({1.5, -3.5, 5, 7});
      },
      // 10 title
      [](TPainter& p) {
        p.SetPen(Stroke(TRGBA{0xFF, 0xD0, 0x40}, 1));
        p.SetBrush(TRGBA{0xFF, 0xE0, 0x60});
        p.DrawEllipse({1.5, 1.5, 13, 13});
        p.SetPen(Stroke(Red, 1.6));
        p.DrawLine({5, 11}, {11, 5});
      },
      // 11-14 move up, down, left, right
      [](TPainter& p) { Arrow(p, 0); },
      [](TPainter& p) { Arrow(p, 180); },
      [](TPainter& p) { Arrow(p, -90); },
      [](TPainter& p) { Arrow(p, 90); },
      // 15 white board
      [](TPainter& p) {
        p.SetAntialiasing(false);
        p.SetPen(TDrawPen{Ink});
        p.SetBrush(White);
        p.DrawRect({1, 2, 13, 10});
        p.DrawLine({5, 13}, {3, 15});
        p.DrawLine({10, 13}, {12, 15});
      },
      // 16 save
      [](TPainter& p) {
        p.SetAntialiasing(false);
        p.SetPen(TDrawPen{Ink});
        p.SetBrush(Blue);
        p.DrawRect({1, 1, 13, 13});
        p.SetBrush(White);
        p.DrawRect({4, 1, 7, 5});
        p.FillRect({4, 9, 8, 5}, TRGBA{0xD0, 0xD0, 0xD0});
      },
      // 17 open
      [](TPainter& p) {
        p.SetPen(Stroke(TRGBA{0x90, 0x70, 0x10}, 1));
        p.SetBrush(TRGBA{0xF0, 0xC8, 0x50});
        const TPointF folder[] = {{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}, {1.5, 13.5}};
        p.DrawPolygon(folder);
      },
      // 18 unused
      [](TPainter&) {},
      // 19 font
      [](TPainter& p) {
        p.SetFont(14, true);
        p.SetPen(TDrawPen{White});
        p.DrawCentredText({1, 1, 16, 16}, "A");
        p.SetPen(TDrawPen{Ink});
        p.DrawCentredText({0, 0, 16, 16}, "A");
      },
      // 20 help
      [](TPainter& p) {
        p.SetPen(Stroke(Blue, 1));
        p.SetBrush(TRGBA{0xE0, 0xE8, 0xFF});
        p.DrawEllipse({1.5, 1.5, 13, 13});
        p.SetFont(11, true);
        p.DrawCentredText({0, 0, 16, 16}, "?");
      },
  };
  // Kept as drawings: on a scaled screen each is drawn at the screen's own ratio, not stretched.
  for (const auto& draw : glyphs) list.Add(TPictureDrawing(draw));
}

TDrawnPicture RegionSaveGlyph() {
  return Picture(18, 18, [](TPainter& p) {
    Selection(p, {0.5, 0.5, 12, 12});
    // A disk in the corner: the region goes to a file.
    p.SetPen(Stroke(TRGBA{0x10, 0x30, 0x80}, 1));
    p.SetBrush(Blue);
    p.DrawRect({7.5, 7.5, 10, 10});
    p.SetBrush(White);
    p.DrawRect({10, 8, 5, 3.5});
    p.FillRect({10, 14, 5, 3}, TRGBA{0xD0, 0xD0, 0xD0});
  });
}

TDrawnPicture RegionCopyGlyph() {
  return Picture(19, 17, [](TPainter& p) {
    Selection(p, {0.5, 0.5, 11, 10});
    // A second sheet over the first: the region is copied.
    p.SetPen(Stroke(Ink, 1));
    p.SetBrush(TRGBA{0xFF, 0xF4, 0xC0});
    p.DrawRect({7.5, 5.5, 10, 11});
    p.SetPen(Stroke(Blue, 1));
    for (double y : {9.0, 12.0}) p.DrawLine({10, y}, {15, y});
  });
}

TDrawnPicture RegionPasteGlyph() {
  return Picture(20, 18, [](TPainter& p) {
    // A clipboard with a sheet on it, over the selection it pastes into.
    Selection(p, {8.5, 6.5, 11, 11});
    p.SetPen(Stroke(TRGBA{0x70, 0x48, 0x10}, 1));
    p.SetBrush(TRGBA{0xC8, 0x90, 0x40});
    p.DrawRoundedRect({0.5, 1.5, 11, 14}, 1.5, 1.5);
    p.SetBrush(TRGBA{0xB0, 0xB0, 0xB0});
    p.DrawRect({3.5, 0.5, 5, 3});
    p.SetPen(Stroke(Ink, 1));
    p.SetBrush(White);
    p.DrawRect({5.5, 6.5, 9, 10});
  });
}
