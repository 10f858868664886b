// The raster layer against QPainter on a QImage doing the same work at 3840x2160: the XOR
// rubber-band preview (erase + redraw = two XOR drawings) of screen-sized figures, freehand
// segments, the eraser's block copy and a full-screen copy. Prints a table at the end with the
// ratio ours / reference and the heap allocations per call.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/qt/qtraster.h"
#include "platform/raster/canvas.h"
#include "tests/support/allocation_count.h"

namespace {

constexpr int ScreenW = 3840;
constexpr int ScreenH = 2160;

enum class TShape { Line, Rect, Ellipse, RoundRect, Diamond };
const char* const ShapeNames[] = {"line", "rectangle", "ellipse", "round rectangle", "diamond"};

// A drag from near one corner of the screen to near the other.
constexpr int X1 = 12, Y1 = 9, X2 = 3827, Y2 = 2151;

struct TSurfaces {
  TBitmap Screen{ScreenW, ScreenH};
  TBitmap Background{ScreenW, ScreenH};
  QImage QtScreen{ScreenW, ScreenH, QImage::Format_RGB32};
  QImage QtBackground{ScreenW, ScreenH, QImage::Format_RGB32};
  TSurfaces() {
    for (int y = 0; y < ScreenH; ++y)
      for (int x = 0; x < ScreenW; ++x) {
        const std::uint32_t p = 0xFF000000u | std::uint32_t((x * 7) ^ (y * 13)) * 0x010101u;
        Background.SetPixel(x, y, p);
        Screen.SetPixel(x, y, p);
      }
    QtBackground = QtView(Background).copy();
    QtScreen = QtView(Screen).copy();
  }
};

TSurfaces& Surfaces() {
  static TSurfaces surfaces;
  return surfaces;
}

void DrawOurs(TCanvas& c, TShape shape) {
  switch (shape) {
    case TShape::Line:
      c.MoveTo(X1, Y1);
      c.LineTo(X2, Y2);
      break;
    case TShape::Rect: c.Rectangle(X1, Y1, X2, Y2); break;
    case TShape::Ellipse: c.Ellipse(X1, Y1, X2, Y2); break;
    case TShape::RoundRect: c.RoundRect(X1, Y1, X2, Y2, (X2 - X1) / 4, (Y2 - Y1) / 4); break;
    case TShape::Diamond: {
      const int mx = (X1 + X2) / 2, my = (Y1 + Y2) / 2;
      c.MoveTo(X1, my), c.LineTo(mx, Y1);
      c.MoveTo(X1, my), c.LineTo(mx, Y2);
      c.MoveTo(X2, my), c.LineTo(mx, Y1);
      c.MoveTo(X2, my), c.LineTo(mx, Y2);
      break;
    }
  }
}

void DrawQt(QPainter& p, TShape shape) {
  const QRect box(X1, Y1, X2 - X1, Y2 - Y1);
  switch (shape) {
    case TShape::Line: p.drawLine(X1, Y1, X2, Y2); break;
    case TShape::Rect: p.drawRect(box); break;
    case TShape::Ellipse: p.drawEllipse(box); break;
    case TShape::RoundRect: p.drawRoundedRect(box, (X2 - X1) / 8.0, (Y2 - Y1) / 8.0); break;
    case TShape::Diamond: {
      const int mx = (X1 + X2) / 2, my = (Y1 + Y2) / 2;
      const QLine lines[] = {{X1, my, mx, Y1}, {X1, my, mx, Y2}, {X2, my, mx, Y1}, {X2, my, mx, Y2}};
      p.drawLines(lines, 4);
      break;
    }
  }
}

QPen QtPen(int width) { return QPen(QColor(0xE7, 0xC3, 0xA5), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// Runs `body` as the benchmark loop and records the heap allocations per call.
template <class TBody>
void Measure(benchmark::State& state, TBody&& body) {
  long allocations = 0;
  for (auto _ : state) {
    const long before = HeapAllocations();
    body();
    allocations += HeapAllocations() - before;
  }
  state.counters["allocs"] = double(allocations) / double(state.iterations());
}

void PreviewOurs(benchmark::State& state, TShape shape, int width) {
  TCanvas c(&Surfaces().Screen);
  c.Pen.Color = 0x00A5C3E7;
  c.Pen.Width = width;
  c.Pen.Mode = pmXor;
  c.Brush.Style = bsClear;
  DrawOurs(c, shape);  // warm-up, and leaves the preview on screen as the loop expects
  Measure(state, [&] {
    DrawOurs(c, shape);  // erase
    DrawOurs(c, shape);  // redraw
  });
  DrawOurs(c, shape);
}

void PreviewQt(benchmark::State& state, TShape shape, int width) {
  QPainter p(&Surfaces().QtScreen);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setPen(QtPen(width));
  p.setBrush(Qt::NoBrush);
  DrawQt(p, shape);
  Measure(state, [&] {
    DrawQt(p, shape);
    DrawQt(p, shape);
  });
  DrawQt(p, shape);
}

// A freehand segment 40 pixels long (32 across, 24 down), painted in copy mode.
void FreehandOurs(benchmark::State& state, int width) {
  TCanvas c(&Surfaces().Screen);
  c.Pen.Color = clRed;
  c.Pen.Width = width;
  c.MoveTo(1000, 1000);
  c.LineTo(1032, 1024);
  Measure(state, [&] {
    c.MoveTo(1000, 1000);
    c.LineTo(1032, 1024);
  });
}

void FreehandQt(benchmark::State& state, int width) {
  QPainter p(&Surfaces().QtScreen);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setPen(QPen(Qt::red, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(1000, 1000, 1032, 1024);
  Measure(state, [&] { p.drawLine(1000, 1000, 1032, 1024); });
}

void EraserOurs(benchmark::State& state) {
  TCanvas c(&Surfaces().Screen);
  TCanvas background(&Surfaces().Background);
  const TRect r{1500, 900, 1516, 916};
  c.CopyRect(r, background, r);
  Measure(state, [&] { c.CopyRect(r, background, r); });
}

void EraserQt(benchmark::State& state) {
  QPainter p(&Surfaces().QtScreen);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  const QRect r(1500, 900, 16, 16);
  Measure(state, [&] { p.drawImage(r.topLeft(), Surfaces().QtBackground, r); });
}

void FullCopyOurs(benchmark::State& state) {
  TCanvas c(&Surfaces().Screen);
  TCanvas background(&Surfaces().Background);
  const TRect r{0, 0, ScreenW, ScreenH};
  c.CopyRect(r, background, r);
  Measure(state, [&] { c.CopyRect(r, background, r); });
}

void FullCopyQt(benchmark::State& state) {
  QPainter p(&Surfaces().QtScreen);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  Measure(state, [&] { p.drawImage(0, 0, Surfaces().QtBackground); });
}

void FullCopyMemcpy(benchmark::State& state) {
  TBitmap& to = Surfaces().Screen;
  const TBitmap& from = Surfaces().Background;
  const std::size_t bytes = std::size_t(ScreenW) * ScreenH * 4;
  Measure(state, [&] {
    std::memcpy(to.ScanLine(0), from.ScanLine(0), bytes);
    benchmark::ClobberMemory();
  });
}

// ---- the final table ----

struct TResult {
  double Micros = 0;
  double Allocs = 0;
};

class TTableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      if (const auto cut = name.rfind("/real_time"); cut != std::string::npos) name.erase(cut);
      TResult& r = FResults[name];
      r.Micros = run.GetAdjustedRealTime();  // the benchmarks report in microseconds
      const auto allocs = run.counters.find("allocs");
      r.Allocs = allocs == run.counters.end() ? 0 : double(allocs->second);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintTable(const std::vector<std::pair<std::string, std::string>>& rows) const {
    std::printf("\n%-34s %11s %11s %7s %10s %10s\n", "case (3840x2160)", "ours us", "ref us", "ratio", "ours alloc",
                "ref alloc");
    for (const auto& [label, name] : rows) {
      const auto ours = FResults.find(name + "/ours");
      const std::string refName = name.rfind("copy/full", 0) == 0 ? name + "/memcpy" : name + "/qpainter";
      const auto ref = FResults.find(refName);
      if (ours == FResults.end() || ref == FResults.end()) continue;
      std::printf("%-34s %11.3f %11.3f %7.2f %10.2f %10.2f\n", label.c_str(), ours->second.Micros, ref->second.Micros,
                  ours->second.Micros / ref->second.Micros, ours->second.Allocs, ref->second.Allocs);
      const auto qt = FResults.find(name + "/qpainter");
      if (refName != name + "/qpainter" && qt != FResults.end())
        std::printf("%-34s %11s %11.3f %7.2f %10s %10.2f\n", "  (same copy by QPainter)", "", qt->second.Micros,
                    ours->second.Micros / qt->second.Micros, "", qt->second.Allocs);
    }
    std::printf(
        "ratio = ours / reference; reference is QPainter on a QImage (aliased; XOR rows use\n"
        "RasterOp_SourceXorDestination), memcpy for the full-screen copy.\n");
  }

 private:
  std::map<std::string, TResult> FResults;
};

}  // namespace

int main(int argc, char** argv) {
  // QPainter behaves as on the GUI thread of the program (it hands some fills to a thread pool
  // there); the offscreen platform gives a QGuiApplication without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Surfaces();

  std::vector<std::pair<std::string, std::string>> rows;
  const auto add = [](const std::string& name, auto&& fn) {
    benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMicrosecond)->UseRealTime();
  };
  for (int s = 0; s < 5; ++s)
    for (int width : {1, 3, 20}) {
      const auto shape = TShape(s);
      const std::string name = "xor/" + std::string(ShapeNames[s]) + "/w" + std::to_string(width);
      add(name + "/ours", [shape, width](benchmark::State& st) { PreviewOurs(st, shape, width); });
      add(name + "/qpainter", [shape, width](benchmark::State& st) { PreviewQt(st, shape, width); });
      rows.push_back({"XOR preview " + std::string(ShapeNames[s]) + " w" + std::to_string(width), name});
    }
  for (int width : {3, 20}) {
    const std::string name = "freehand/w" + std::to_string(width);
    add(name + "/ours", [width](benchmark::State& st) { FreehandOurs(st, width); });
    add(name + "/qpainter", [width](benchmark::State& st) { FreehandQt(st, width); });
    rows.push_back({"freehand 40 px w" + std::to_string(width), name});
  }
  add("copy/eraser/ours", EraserOurs);
  add("copy/eraser/qpainter", EraserQt);
  rows.push_back({"eraser 16x16 copy", "copy/eraser"});
  add("copy/full/ours", FullCopyOurs);
  add("copy/full/qpainter", FullCopyQt);
  add("copy/full/memcpy", FullCopyMemcpy);
  rows.push_back({"full-screen copy (vs memcpy)", "copy/full"});

  TTableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable(rows);
  benchmark::Shutdown();
  return 0;
}
