#include "shell/pictures.h"

TPicture MarkerPicture() {
  return DrawPicture(36, 36, [](TPainter& p) {
    // Crisp edges: the frame lies on whole pixels.
    p.SetAntialiasing(false);
    p.FillRect({0, 0, 36, 36}, TLinearGradient{{0, 0}, {36, 36}, {{0, {0x60, 0x20, 0x90}}, {1, {0xC0, 0x40, 0x80}}}});
    p.SetPen(TDrawPen{TRGBA{0xFF, 0xFF, 0xFF, 0x90}});
    p.DrawRect({0, 0, 35, 35});
  });
}

TPicture PlayGlyph() {
  return DrawPicture(22, 23, [](TPainter& p) {
    p.SetPen(TDrawPen{TRGBA{0x10, 0x60, 0x10}, 1});
    p.SetBrush(TRGBA{0x30, 0xC0, 0x40});
    const TPointF triangle[] = {{5, 3}, {19, 11.5}, {5, 20}};
    p.DrawPolygon(triangle);
  });
}

TPicture ExitGlyph() {
  return DrawPicture(16, 16, [](TPainter& p) {
    p.SetPen(TDrawPen{TRGBA{0xC0, 0x20, 0x20}, 2, TPenDash::Solid, TPenCap::Round});
    p.DrawArc({2.5, 2.5, 11, 11}, 120, 300);
    p.DrawLine({8, 1.5}, {8, 7.5});
  });
}

TPicture TrayPicture() {
  return DrawPicture(16, 16, [](TPainter& p) {
    p.SetNoPen();
    p.SetBrush(TRGBA{0x80, 0x20, 0x90});
    p.DrawRoundedRect({0.5, 0.5, 15, 15}, 3, 3);
    TPath stroke({3, 11});
    stroke.CubicTo({6, 3}, {9, 14}, {13, 4});
    p.SetPen(TDrawPen{TRGBA{0xFF, 0xFF, 0xFF}, 2, TPenDash::Solid, TPenCap::Round});
    p.SetNoBrush();
    p.DrawPath(stroke);
  });
}
