#include "surface/fcover.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/fontdialog.h"
#include "platform/image.h"
#include "shell/form1.h"
#include "surface/glyphs.h"

TFCover* FCover = nullptr;

namespace {

// One row per tool: its button on the tool bar and its item in the main menu, in the order
// SyncToolState clears them.
struct TToolRow {
  TDrawTool Tool;
  TToolButton* TFCover::*Button;
  TMenuItem* TForm1::*Item;
};

constexpr TToolRow ToolRows[] = {
    {dtPen, &TFCover::TBpen, &TForm1::NPen},
    {dtLine, &TFCover::TBline, &TForm1::NLine},
    {dtEllipse, &TFCover::TBcircle, &TForm1::NCircle},
    {dtRect, &TFCover::TBrect, &TForm1::NRect},
    {dtRoundRect, &TFCover::TBroundrect, &TForm1::NRoundRect},
    {dtDiamond, &TFCover::TBdiamond, &TForm1::NDiamond},
    {dtSelect, &TFCover::TBselect, &TForm1::NCaption},
    {dtEraser, &TFCover::TBeraser, &TForm1::NEraser},
};

const String ScreenTooLarge = "屏幕太大，内存不足以冻结屏幕。请降低屏幕分辨率后再试。";

}  // namespace

TFCover::TFCover() : TForm("FCover") {
  ::FCover = this;
  BuildForm();
  DrawToolGlyphs(ImageList1);

  PaintBox1->OnMouseDown = [this](TMouseButton b, TShiftState s, int x, int y) { PaintBox1MouseDown(b, s, x, y); };
  PaintBox1->OnMouseMove = [this](TShiftState s, int x, int y) { PaintBox1MouseMove(s, x, y); };
  PaintBox1->OnMouseUp = [this](TMouseButton b, TShiftState s, int x, int y) { PaintBox1MouseUp(b, s, x, y); };
  PaintBox1->OnPaint = [this] {
    ForgetFirstFrame();
    // The window manager has framed the window by its first paint; a hole made before that
    // may not have reached the frame.
    if (FHoleUnseen) {
      FHoleUnseen = false;
      ApplyInputHole();
    }
  };
  Ed->OnChange = Handler(this, &TFCover::EdChange);
  Ed->OnKeyDown = [this](int& key, TShiftState shift) { RunHandler([&] { EdKeyDown(key, shift); }); };
  FontDialog1 = std::make_unique<TFontDialog>();
  // The window's own font, which captions use until a font is chosen.
  PaintBox1->Canvas()->Font = TFont{"MS Sans Serif", 8, clWindowText, 0};
  // Nothing is ever drawn under the controls that lie above the paint box.
  PaintBox1->ClipOut(Ed);
  PaintBox1->ClipOut(ToolBar1);

  BuildToolBar();
  BuildRegionMenu();
  if (Form1) {
    // A right click on the surface opens the main menu; the main menu shows this list's glyphs.
    PaintBox1->SetPopupMenu(Form1->PopupMenu1);
    Form1->SetMenuImages(ImageList1);
  }
  Screen().AddChangeHandler(this, [this](TMonitorChange change, std::uintptr_t monitor) {
    switch (change) {
      case TMonitorChange::Resized:
        if (monitor == MonitorInUse().Id) FollowScreenInUse();
        break;
      case TMonitorChange::PrimaryChanged:
        if (!FMonitor) FollowScreenInUse();
        break;
      case TMonitorChange::Removed:
        // The screen in use going away leaves the surface to the primary one.
        if (monitor != FMonitor) return;
        FMonitor = 0;
        FollowScreenInUse();
        break;
    }
  });
}

void TFCover::FollowScreenInUse() {
  const TRect area = MonitorInUse().DeviceRect;
  RunHandler([&] { FollowScreenSize(static_cast<int>(area.Width()), static_cast<int>(area.Height())); });
}

TMonitor TFCover::MonitorInUse() const { return Screen().MonitorOrPrimary(FMonitor); }

TRect TFCover::DeviceArea() const {
  // A screen's corner is a device position already.
  const TRect monitor = MonitorInUse().BoundsRect;
  return TRect{monitor.Left, monitor.Top, monitor.Left + Width(), monitor.Top + Height()};
}

TRect TFCover::MonitorRect() const {
  const TMonitor monitor = MonitorInUse();
  return monitor.Id ? monitor.BoundsRect : Screen().PrimaryMonitorRect();
}

void TFCover::PrepareForScreenUnderPointer() { PrepareForShowing(Screen().MonitorUnderPointer()); }

TFCover::~TFCover() {
  Screen().RemoveChangeHandler(this);
  if (::FCover == this) ::FCover = nullptr;
}

int TFCover::Width() const { return FDeviceSize.Of(TSize{ClientWidth(), ClientHeight()}, PixelRatio()).Width; }
int TFCover::Height() const { return FDeviceSize.Of(TSize{ClientWidth(), ClientHeight()}, PixelRatio()).Height; }

void TFCover::LayoutLayers() {
  // Both layers fill the window, in the window's device pixels.
  const TRect logical{0, 0, ClientWidth(), ClientHeight()};
  const int deviceWidth = Width();
  const int deviceHeight = Height();
  Image1->SetDeviceGeometry(logical, deviceWidth, deviceHeight);
  PaintBox1->SetDeviceGeometry(logical, deviceWidth, deviceHeight);
}

void TFCover::SetDeviceGeometry(TPoint origin, int width, int height) {
  const double ratio = PixelRatio();
  const TSize logical = LogicalSizeOf(TSize{width, height}, ratio);
  // Before the resize, whose handler lays the layers out at the window's device size.
  FDeviceSize.Set(TSize{width, height}, logical, ratio);
  SetBounds(origin.X, origin.Y, logical.Width, logical.Height);
}

void TFCover::PrepareForShowing(const TMonitor& monitor) {
  if (!Visible()) FMonitor = monitor.Id;
  const TRect area = MonitorInUse().DeviceRect;
  PrepareForShowing(static_cast<int>(area.Width()), static_cast<int>(area.Height()));
}

void TFCover::PrepareForShowing(int width, int height) {
  const TMonitor monitor = MonitorInUse();
  if (!Visible() && monitor.Id) {
    // A native window made ahead on another screen is made anew: moved across screens, an
    // existing window can keep the old screen's ratio. The new one is made once its geometry is
    // given, on the screen in use, so the layers below take that screen's ratio.
    PlaceOnMonitor(monitor.Id);
    const TSize logical = LogicalSizeOf(TSize{width, height}, monitor.PixelRatio);
    SetBounds(monitor.BoundsRect.Left, monitor.BoundsRect.Top, logical.Width, logical.Height);
    // Until it exists the toolkit reports the largest ratio of all screens; one screen has only
    // its own, and its window is made by the callers once the layers are there.
    if (Screen().MonitorCount() > 1 && !NativeWindowExists()) CreateNativeWindow();
    SetDeviceGeometry(TPoint{Left(), Top()}, width, height);
  } else {
    SetDeviceGeometry(TPoint{0, 0}, width, height);
  }
  // A hidden window gets its resize event only when shown; the background is made at the
  // image's size on first use, so the layers take the window's size now.
  LayoutLayers();
  try {
    // After the screen changed its size the layers are made anew, at the new size.
    if (Image1->HasBitmap() &&
        (Image1->Bitmap()->Width() != Image1->Width() || Image1->Bitmap()->Height() != Image1->Height()))
      ReleaseLayers();
    // Where the desktop captures into memory of ours, the background lives there: the capture
    // copies nothing and no buffer of its own is needed.
    if (!Image1->HasBitmap()) Image1->CreateBitmapOn(Application->Desktop().CaptureMemory(width, height));
    PaintBox1->SetBackground(Image1->Bitmap());
    PaintBox1->PrepareBuffer();
    Application->Desktop().PrepareFirstFrame(NativeWindow(), width, height);
  } catch (const std::bad_alloc&) {
    ReleaseForLackOfMemory();
    throw EOutOfResources(ScreenTooLarge);
  } catch (const std::length_error&) {
    ReleaseForLackOfMemory();
    throw EOutOfResources(ScreenTooLarge);
  }
}

void TFCover::ReleaseLayers() {
  PaintBox1->SetBackground(nullptr);
  Image1->ReleaseBitmap();
  PaintBox1->ReleaseBuffer();
  // Whatever memory was kept for reuse goes back too: what comes next may need it.
  TPixelPool::Trim();
}

void TFCover::ReleaseForLackOfMemory() {
  ReleaseLayers();
  // The capture's screen-sized shared memory too: without it the message saying so, and
  // whatever else the teacher does meanwhile, has the memory it needs.
  Application->Desktop().ReleaseCapture();
}

void TFCover::FollowScreenSize(int width, int height) {
  if (!Visible()) {
    // Readied ahead only once a freeze has been prepared; a failure is told at the next freeze.
    if (!Image1->HasBitmap()) return;
    try {
      PrepareForShowing(width, height);
    } catch (const EOutOfResources&) {
    }
    return;
  }
  if (width <= 0 || height <= 0) return;
  const TPoint origin{DeviceArea().Left, DeviceArea().Top};
  if (width == Width() && height == Height()) {
    // The screen moved on the desktop without changing its size.
    if (TPoint{Left(), Top()} != origin) MoveFrame(origin.X, origin.Y);
    return;
  }
  // An XOR preview drawn on the old size would not be erased exactly on the new one.
  EraseBand();
  try {
    Image1->Bitmap()->Resize(width, height);
    PaintBox1->ResizeBuffer(width, height);
  } catch (const std::exception&) {
    // Both layers are as they were (or the background is larger, white where it grew): the
    // surface stays at its size with every drawing.
    ShowMessage(ScreenTooLarge);
    return;
  }
  // The steps were kept on layers of the old size.
  StopHistory();
  const TRect old = BoundsRect();
  SetDeviceGeometry(origin, width, height);
  LayoutLayers();
  KeepToolBarInside(old);
  if (FSelActive && !(Intersect(FSelRect, TRect{0, 0, width, height}) == FSelRect)) FSelActive = false;
  PaintBox1->Repaint();
}

void TFCover::KeepToolBarInside(TRect old) {
  const TRect bar = ToolBar1->BoundsRect();
  const int barWidth = static_cast<int>(bar.Width());
  const int barHeight = static_cast<int>(bar.Height());
  int x = bar.Left;
  int y = bar.Top;
  if (x > 0 && x + barWidth >= old.Width()) x = ClientWidth() - barWidth;
  if (y > 0 && y + barHeight >= old.Height()) y = ClientHeight() - barHeight;
  x = std::clamp(x, 0, std::max(0, ClientWidth() - barWidth));
  y = std::clamp(y, 0, std::max(0, ClientHeight() - barHeight));
  ToolBar1->Move(x, y);
}

void TFCover::Show() {
  TForm::Show();
  Activate();
}

void TFCover::PassInputThrough(const TRect& area) {
  FHoleArea = area;
  ApplyInputHole();
}

void TFCover::ApplyInputHole() {
  const std::uintptr_t window = NativeWindow();
  const TMonitor monitor = MonitorInUse();
  if (!window || !monitor.Id) return;
  TRect hole{};
  if (FHoleArea.Width() > 0 && FHoleArea.Height() > 0) {
    // A screen's corner is the same in logical and device pixels; only the distance from it
    // scales. Rounded outward, so that no pixel of the area still takes the press.
    const double ratio = PixelRatio();
    const TRect& corner = monitor.BoundsRect;
    const auto down = [ratio](std::int64_t d) { return static_cast<std::int32_t>(std::floor(double(d) * ratio)); };
    const auto up = [ratio](std::int64_t d) { return static_cast<std::int32_t>(std::ceil(double(d) * ratio)); };
    hole = Intersect(TRect{down(FHoleArea.Left - corner.Left), down(FHoleArea.Top - corner.Top),
                           up(FHoleArea.Right - corner.Left), up(FHoleArea.Bottom - corner.Top)},
                     TRect{0, 0, Width(), Height()});
  }
  Application->Desktop().PassInputThrough(window, hole.Left, hole.Top, static_cast<int>(hole.Width()),
                                          static_cast<int>(hole.Height()));
}

void TFCover::DoShow() {
  // Each showing starts with no drawings: the window shows the background just captured.
  PaintBox1->SetBackground(Image1->Canvas()->Handle());
  PaintBox1->PrepareBuffer();
  PaintBox1->Invalidate();
  // Nor any selection frame or preview: the last showing's are not on this surface, and
  // erasing them by XOR would draw them onto it.
  FSelActive = false;
  FBandShown = false;
  // A window manager takes a window's input region over to its frame only once it manages the
  // window; the first paint of this showing hands the hole over again.
  FHoleUnseen = true;
  Ed->SetFocus();
  FormShow();
  // The window is mapped right after this event, in the state just set.
  PresetFirstFrame();
}

bool TFCover::RenderToolBar() {
  if (!ToolBar1->Visible()) return false;
  ToolBar1->RenderTo(FBarFrame, PixelRatio());
  return true;
}

void TFCover::PresetFirstFrame() {
  ForgetFirstFrame();
  const std::uintptr_t window = NativeWindow();
  if (!window || !Image1->HasBitmap()) return;
  static const TBitmap NoBar;
  const bool bar = RenderToolBar();
  // The bar's device position as the paint box's clip has it.
  const double ratio = PixelRatio();
  const int x = static_cast<int>(std::floor(ToolBar1->Left() * ratio));
  const int y = static_cast<int>(std::floor(ToolBar1->Top() * ratio));
  if (Application->Desktop().PresetFirstFrame(window, *Image1->Bitmap(), bar ? FBarFrame : NoBar, x, y))
    FPresetWindow = window;
}

void TFCover::ForgetFirstFrame() {
  if (!FPresetWindow) return;
  Application->Desktop().ForgetFirstFrame(FPresetWindow);
  FPresetWindow = 0;
}

void TFCover::FormShow() {
  FTool = dtPen;
  SyncToolState();
}

void TFCover::DoClose() {
  // Closed before its first paint, the window is let go of its preset frame while it exists.
  ForgetFirstFrame();
  // The drawings go with the working state, and so does what could undo them.
  StopHistory();
  FormClose();
  // A button held while the window goes (the hot key during a drag) is released where the
  // surface no longer sees it: the drag ends here, or the next showing would go on drawing it
  // with no button down.
  FDragging = false;
  KeepEveryMove(false);
}

void TFCover::FormClose() {
  if (Form1) Form1->DisableWorkingMenu();
}

void TFCover::DoUnblocked() {
  // A window manager that does not give the focus back to the window a dialog closed over
  // would leave the keyboard nowhere: typing after the font dialog must go on in the caption.
  Activate();
}

void TFCover::DoNativeWindowChanged() {
  // A window destroyed before it painted took its preset frame with it.
  if (FPresetWindow != NativeWindow()) FPresetWindow = 0;
  // A native window made ahead of a showing is readied for its first frame while still idle.
  if (NativeWindow() && !Visible() && Image1->HasBitmap()) {
    Application->Desktop().PrepareFirstFrame(NativeWindow(), Width(), Height());
    // The first rendering of the bar loads the glyphs and faces it needs.
    RenderToolBar();
  }
}

void TFCover::FormKeyDown(int& key, TShiftState shift) {
  if (HistoryKey(key, shift)) key = 0;
  if (key == VK_ESCAPE) Close();
}

void TFCover::SyncToolState() {
  PaintBox1->SetCursor(crDefault);
  for (const TToolRow& row : ToolRows) (this->*row.Button)->SetDown(false);
  if (Form1) {
    for (const TToolRow& row : ToolRows) (Form1->*row.Item)->SetChecked(false);
  }
  for (const TToolRow& row : ToolRows) {
    if (row.Tool != FTool) continue;
    (this->*row.Button)->SetDown(true);
    if (Form1) (Form1->*row.Item)->SetChecked(true);
  }
  if (FTool == dtEraser) PaintBox1->SetCursor(crDrag);
}

void TFCover::ChooseTool(TDrawTool tool) {
  FTool = tool;
  SyncToolState();
}

std::unique_ptr<TImage> TFCover::HiddenImage(std::int64_t width, std::int64_t height) {
  auto image = std::make_unique<TImage>(String(), this);
  image->SetVisible(false);
  image->SetSize(int(std::min<std::int64_t>(width, INT32_MAX)), int(std::min<std::int64_t>(height, INT32_MAX)));
  return image;
}

TImage* TFCover::SnapshotSurface() {
  const int w = Width();
  const int h = Height();
  std::unique_ptr<TImage> image = HiddenImage(w, h);
  image->Canvas()->CopyRect(TRect{0, 0, w, h}, *PaintBox1->Canvas(), TRect{0, 0, w, h});
  return image.release();
}

void TFCover::RestoreSurface(TImage* snapshot) {
  if (!snapshot) return;
  const TRect whole{0, 0, Width(), Height()};
  // The pixels the window showed before the modal window: nothing to undo.
  const TUndoHistory::TPause pause(FHistory);
  PaintBox1->Canvas()->CopyRect(whole, *snapshot->Canvas(), whole);
  delete snapshot;
}

void TFCover::TBrefreshClick() {
  // The drawings the refresh wipes are one step; it ends the caption line.
  BeginStep();
  FHistory.Keep(hlWindow, TRect{0, 0, Width(), Height()});
  PaintBox1->Invalidate();
  Ed->SetText("");
  FSelActive = false;
  EndStep();
}

void TFCover::TBwhiteClick() {
  // Both layers are one step: undone, the frozen picture comes back with the drawings.
  BeginStep();
  FHistory.Keep(hlBackground, TRect{0, 0, Image1->Width(), Image1->Height()});
  FHistory.Keep(hlWindow, TRect{0, 0, Width(), Height()});
  TCanvas* canvas = Image1->Canvas();
  const TColor kept = canvas->Brush.Color;
  canvas->Brush.Color = clWhite;
  // The canvas keeps its default pen (black, one pixel, copy): a white board with a one-pixel
  // black ring along the edges.
  canvas->Rectangle(0, 0, Image1->Width(), Image1->Height());
  canvas->Brush.Color = kept;
  FSelActive = false;
  // A new background repaints the whole window, which wipes the drawings.
  PaintBox1->Invalidate();
  EndStep();
}
