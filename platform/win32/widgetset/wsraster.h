#pragma once

#include <map>
#include <tuple>

#include "platform/raster/engines.h"

// Text through GDI on the bitmaps' own pixels, and smooth scaling of our own, installed by the
// Win32 widgetset for every canvas of the process.
class TGdiFontEngine final : public TFontEngine {
 public:
  TGdiFontEngine();
  ~TGdiFontEngine() override;
  TGdiFontEngine(const TGdiFontEngine&) = delete;
  TGdiFontEngine& operator=(const TGdiFontEngine&) = delete;

  TMetrics Measure(const TFont& font, const TBitmap* target, std::string_view text) override;
  void Draw(TBitmap& target, std::span<const TRect> excluded, const TFont& font, int x, int y, std::string_view text,
            std::optional<TColor> background) override;
  String ResolveFace(const String& name) override;

  // The GDI font (an HFONT) that draws `font`, the face resolved, `pixels` high when that is
  // above 0; kept for the process.
  void* FontHandle(const TFont& font, int pixels = 0);

 private:
  struct TScratch;
  // A 32-bit top-down DIB section of at least width x height on the engine's DC.
  TScratch& Scratch(int width, int height);

  void* FDc = nullptr;
  std::unique_ptr<TScratch> FScratch;
  std::map<std::tuple<String, int, unsigned, int>, void*> FFonts;
  std::map<String, String> FFaces;
};

// Averages when shrinking and interpolates linearly when enlarging, channel by channel; the
// corners keep their colours and a uniform area stays uniform.
class TSmoothScaler final : public TImageScaler {
 public:
  void Scale(const TBitmap& source, const TRect& part, int width, int height, TBitmap& out) override;
  void Render(const TBitmap& source, double x, double y, double w, double h, int width, int height,
              TBitmap& out) override;
};

// The face text without a face of its own is drawn with: the desktop's message font.
String DefaultFontFace();

// Installs one of each for every canvas (they live until the process ends).
void InstallWin32RasterEngines();
TGdiFontEngine& GdiFontEngine();
