#include "platform/image.h"
#include "platform/win32/widgetset/wscontrols.h"
#include "platform/win32/widgetset/wspictures.h"
#include "platform/win32/widgetset/wsraster.h"

namespace {

// Paints the image's bitmap: 1:1 from the corner, or stretched over the control with the smooth
// scaler (the scaled copy is kept until the picture or the size changes).
class TWin32Image final : public TWin32Control {
 public:
  TWin32Image(TImage& image, HWND window) : TWin32Control(image, window), FImage(image) {}

  void Repaint() override {
    FScaledValid = false;
    TWin32Control::Repaint();
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_ERASEBKGND: result = 1; return true;
      case WM_SIZE: FScaledValid = false; return false;
      case WM_PAINT:
        Paint();
        result = 0;
        return true;
      default: return TWin32Control::Message(message, wParam, lParam, result);
    }
  }

 private:
  void Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Hwnd(), &paint);
    RECT client;
    GetClientRect(Hwnd(), &client);
    const TBitmap* bitmap = FImage.Bitmap();
    const TBitmap* shown = bitmap;
    if (bitmap && !bitmap->Empty() && FImage.Stretch() && client.right > 0 && client.bottom > 0) {
      if (!FScaledValid || FScaled.Width() != client.right || FScaled.Height() != client.bottom) {
        FScaler.Scale(*bitmap, TRect{0, 0, bitmap->Width(), bitmap->Height()}, client.right, client.bottom, FScaled);
        FScaledValid = true;
      }
      shown = &FScaled;
    }
    int width = 0, height = 0;
    if (shown && !shown->Empty()) {
      width = shown->Width();
      height = shown->Height();
      DrawPixels(dc, 0, 0, shown->ScanLine(0), width, height, shown->Stride());
    }
    // What the picture leaves uncovered shows the colour of the form under it.
    HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageW(
        GetParent(Hwnd()), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Hwnd())));
    if (!background) background = GetSysColorBrush(COLOR_BTNFACE);
    const RECT right{width, 0, client.right, client.bottom},
        below{0, height, std::min<LONG>(width, client.right), client.bottom};
    if (right.left < right.right) FillRect(dc, &right, background);
    if (below.top < below.bottom) FillRect(dc, &below, background);
    EndPaint(Hwnd(), &paint);
  }

  TImage& FImage;
  TSmoothScaler FScaler;
  TBitmap FScaled;
  bool FScaledValid = false;
};

}  // namespace

std::unique_ptr<TWSControl> TWin32WidgetSet::CreateImage(TImage& image) {
  HWND window = CreateWindowExW(0, WidgetSetClass(L"QuilmarImage"), L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                0, 0, ParentWindowOf(image), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window)
    throw EOutOfResources("The system refused a window for " + image.Name() + ": close other programs and try again");
  RaiseAmongSiblings(window);
  return std::make_unique<TWin32Image>(image, window);
}
