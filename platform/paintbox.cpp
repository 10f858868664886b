#include "platform/paintbox.h"

#include <algorithm>
#include <cstring>

#include "platform/timers.h"
#include "platform/widgetset.h"

// Hands each drawing's changed rectangle to the window system as a repaint of that part only.
class TPaintBox::TScreenSink : public TDamageSink {
 public:
  explicit TScreenSink(TPaintBox* owner) : FOwner(owner) {}
  void Damaged(const TRect& r) override { FOwner->Handle().InvalidateRect(r); }

 private:
  TPaintBox* FOwner;
};

TPaintBox::TPaintBox(String name, TControl* parent)
    : TControl(std::move(name), parent), FSink(std::make_unique<TScreenSink>(this)) {
  SetHandle(WidgetSet().CreatePaintBox(*this));
  FCanvas.SetTarget(&FPixels);
  FCanvas.SetDamageSink(FSink.get());
}

TPaintBox::~TPaintBox() {
  // The native control goes first, while everything it reports to still lives.
  SetHandle(nullptr);
}

void TPaintBox::PrepareBuffer() {
  if (FPixels.Width() == Width() && FPixels.Height() == Height()) return;
  FPixels.SetSize(Width(), Height());
  FStale = true;
  UpdateClip();
}

void TPaintBox::ResizeBuffer(int width, int height) {
  const int oldWidth = FPixels.Width();
  const int oldHeight = FPixels.Height();
  if (width == oldWidth && height == oldHeight) return;
  FPixels.Resize(width, height);
  // The area gained has no drawings: it shows the background.
  RestoreFromBackground(TRect{oldWidth, 0, width, height});
  RestoreFromBackground(TRect{0, oldHeight, oldWidth, height});
  UpdateClip();
  Repaint();
}

void TPaintBox::ReleaseBuffer() { FPixels = TBitmap(); }

void TPaintBox::Invalidate() {
  FStale = true;
  Repaint();
}

void TPaintBox::RestoreAll() {
  FStale = false;
  RestoreFromBackground(TRect{0, 0, FPixels.Width(), FPixels.Height()});
}

void TPaintBox::RestoreFromBackground(const TRect& area) {
  // The whole box is refilled before its next use anyway.
  if (FStale) return;
  const TRect target = Intersect(area, TRect{0, 0, FPixels.Width(), FPixels.Height()});
  if (target.IsEmpty()) return;
  TRect from{};
  if (FBackground && !FBackground->Empty())
    from = Intersect(target, TRect{0, 0, FBackground->Width(), FBackground->Height()});
  const auto width = static_cast<std::size_t>(target.Width());
  for (int y = target.Top; y < target.Bottom; ++y) {
    std::uint32_t* row = FPixels.ScanLine(y) + target.Left;
    if (!from.IsEmpty() && y >= from.Top && y < from.Bottom) {
      std::memcpy(FPixels.ScanLine(y) + from.Left, FBackground->ScanLine(y) + from.Left,
                  static_cast<std::size_t>(from.Width()) * sizeof(std::uint32_t));
      // Beyond a background smaller than the box the window shows white.
      std::fill(row, FPixels.ScanLine(y) + from.Left, 0x00FFFFFFu);
      std::fill(FPixels.ScanLine(y) + from.Right, row + width, 0x00FFFFFFu);
    } else {
      std::fill(row, row + width, 0x00FFFFFFu);
    }
  }
}

void TPaintBox::SetCursor(TCursor cursor) {
  FCursor = cursor;
  Handle().SetCursor(cursor);
}

void TPaintBox::ClipOut(TControl* control) {
  if (!control) return;
  FClipped.push_back(control);
  FClippedAreas.emplace_back();
  Handle().WatchControl(*control, [this, control] { ClippedControlChanged(control); });
  UpdateClip();
}

void TPaintBox::UpdateClip() {
  FCanvas.ResetClip();
  for (std::size_t i = 0; i < FClipped.size(); ++i) {
    const TRect area = Handle().DeviceRectOf(*FClipped[i]);
    if (!area.IsEmpty()) FCanvas.ExcludeClipRect(area);
    FClippedAreas[i] = area;
  }
}

void TPaintBox::ClippedControlChanged(const TControl* control) {
  const std::vector<TRect> before = FClippedAreas;
  UpdateClip();
  // The area a control leaves shows the background again: drawings made before the control
  // covered it do not come back.
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (FClipped[i] == control && !before[i].IsEmpty() && !(before[i] == FClippedAreas[i])) {
      RestoreFromBackground(before[i]);
      FSink->Damaged(Intersect(before[i], TRect{0, 0, FPixels.Width(), FPixels.Height()}));
    }
  }
}

void TPaintBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  FTracking = true;
  if (OnMouseDown) OnMouseDown(button, shift, x, y);
}

void TPaintBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y, bool held) {
  if (!held) FTracking = false;
  if (OnMouseUp) OnMouseUp(button, shift, x, y);
  // The context menu comes after the release has been handled, as a separate step.
  if (button == mbRight && FPopupMenu) {
    QueueCall([alive = std::weak_ptr<char>(FAlive), menu = FPopupMenu] {
      if (alive.expired()) return;
      const TPoint at = Screen().CursorPos();
      menu->Popup(at.X, at.Y);
    });
  }
}
