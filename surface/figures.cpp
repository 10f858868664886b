#include <cstdlib>

#include "surface/fcover.h"

// Previews are XOR figures erased by drawing them again; commits are copy-mode figures. Every
// routine borrows the canvas settings for one call and puts them back before returning.
void TFCover::Track(TFigure figure, TBand band, int x, int y, bool final, bool commit) {
  TCanvas* canvas = PaintBox1->Canvas();
  const TPen keptPen = canvas->Pen;
  const TBrushStyle keptBrush = canvas->Brush.Style;

  if (band == bandFrame) {
    canvas->Pen.Color = clWhite;
    canvas->Pen.Width = 1;
    canvas->Pen.Style = psDot;
  } else {
    canvas->Pen.Color = FPenColor;
    canvas->Pen.Width = FPenWidth;
  }
  // Hollow figures, and a dotted frame whose gaps stay untouched.
  if (band != bandLine) canvas->Brush.Style = bsClear;
  canvas->Pen.Mode = pmXor;

  if (FBandShown) {
    (this->*figure)(FLastX, FLastY);
    if (band == bandFrame) FBandShown = false;
  }
  if (!final) {
    canvas->Pen.Mode = pmXor;
    (this->*figure)(x, y);
    FLastX = x;
    FLastY = y;
    FBandShown = true;
  } else {
    FBandShown = false;
    if (band != bandFrame && commit) {
      // The preview is off: the committed figure alone is the step.
      BeginStep();
      canvas->Pen.Mode = pmCopy;
      (this->*figure)(x, y);
      EndStep();
    }
  }

  canvas->Pen.Color = keptPen.Color;
  canvas->Pen.Width = keptPen.Width;
  canvas->Pen.Mode = keptPen.Mode;
  canvas->Brush.Style = keptBrush;
  canvas->Pen.Style = keptPen.Style;
}

void TFCover::EraseBand() {
  if (!FBandShown) return;
  switch (FTool) {
    case dtLine: Track(&TFCover::LineFigure, bandLine, FLastX, FLastY, true, false); break;
    case dtRect: Track(&TFCover::RectFigure, bandHollow, FLastX, FLastY, true, false); break;
    case dtEllipse: Track(&TFCover::EllipseFigure, bandHollow, FLastX, FLastY, true, false); break;
    case dtRoundRect: Track(&TFCover::RoundRectFigure, bandHollow, FLastX, FLastY, true, false); break;
    case dtDiamond: Track(&TFCover::DiamondFigure, bandHollow, FLastX, FLastY, true, false); break;
    case dtSelect: Track(&TFCover::RectFigure, bandFrame, FLastX, FLastY, true, false); break;
    default: FBandShown = false; break;
  }
}

void TFCover::LineFigure(int ex, int ey) {
  TCanvas* canvas = PaintBox1->Canvas();
  canvas->MoveTo(FStartX, FStartY);
  canvas->LineTo(ex, ey);
}

void TFCover::RectFigure(int ex, int ey) { PaintBox1->Canvas()->Rectangle(FStartX, FStartY, ex, ey); }

void TFCover::EllipseFigure(int ex, int ey) { PaintBox1->Canvas()->Ellipse(FStartX, FStartY, ex, ey); }

void TFCover::RoundRectFigure(int ex, int ey) {
  // Corner sizes from absolute differences, so a drag up or left never makes them negative.
  const int w = std::abs(FStartX - ex) / 4;
  const int h = std::abs(FStartY - ey) / 4;
  PaintBox1->Canvas()->RoundRect(FStartX, FStartY, ex, ey, w, h);
}

void TFCover::DiamondFigure(int ex, int ey) {
  // Midpoints truncate toward zero, as integer division does.
  const int mx = (FStartX + ex) / 2;
  const int my = (FStartY + ey) / 2;
  TCanvas* canvas = PaintBox1->Canvas();
  // Each segment runs from a side vertex to a top or bottom vertex, whose pixel a 1-pixel
  // pen therefore never lights.
  canvas->MoveTo(FStartX, my);
  canvas->LineTo(mx, FStartY);
  canvas->MoveTo(FStartX, my);
  canvas->LineTo(mx, ey);
  canvas->MoveTo(ex, my);
  canvas->LineTo(mx, FStartY);
  canvas->MoveTo(ex, my);
  canvas->LineTo(mx, ey);
}

void TFCover::TrackLine(int x, int y, bool final) { Track(&TFCover::LineFigure, bandLine, x, y, final); }
void TFCover::TrackRect(int x, int y, bool final) { Track(&TFCover::RectFigure, bandHollow, x, y, final); }
void TFCover::TrackEllipse(int x, int y, bool final) { Track(&TFCover::EllipseFigure, bandHollow, x, y, final); }
void TFCover::TrackRoundRect(int x, int y, bool final) { Track(&TFCover::RoundRectFigure, bandHollow, x, y, final); }
void TFCover::TrackDiamond(int x, int y, bool final) { Track(&TFCover::DiamondFigure, bandHollow, x, y, final); }
void TFCover::TrackSelectFrame(int x, int y, bool final) { Track(&TFCover::RectFigure, bandFrame, x, y, final); }
