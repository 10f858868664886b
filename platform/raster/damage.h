#pragma once

// Internal to the raster layer: TCanvas gathers each drawing call's changed pixels here and
// reports them to its damage sink.

#include <algorithm>
#include <cstdint>
#include <span>

#include "platform/raster/canvas.h"
#include "platform/raster/rasterizer.h"
#include "platform/raster/rect.h"

namespace Raster {

// The pixels one drawing call changed, gathered as a few rectangles that cover them closely.
// Rows are grouped into bands; within a band, pieces lying close together join into one run.
// When reported, runs of neighbouring bands join as long as that adds little area. A hollow
// screen-sized figure thus comes out as a few strips along its outline instead of the whole
// screen (a rectangle as four or five), and a short figure as one. The table has a fixed size
// (about 35 KB): gathering allocates nothing.
class TDamageBands {
 public:
  // Bands are 16 rows high; targets taller than MaxBands bands use taller bands, so that the
  // table keeps its size for any bitmap.
  static constexpr int BandShift = 4;
  static constexpr int MaxBands = 512;
  // A band holding more runs than this joins the nearest ones: the table stays fixed-size and
  // outlines need two (four where a clip rectangle splits rows).
  static constexpr int RunsPerBand = 4;
  // Each rectangle costs the window system some bookkeeping (a region union per rectangle
  // reported, a copy call per rectangle painted), about as much as copying a few thousand
  // pixels, so pieces join while that adds fewer pixels than this. In bench_pointer a quarter
  // of it made moves dearer through region unions, four times it made repaints dearer.
  static constexpr std::int64_t JoinArea = 4096;
  // The horizontal gap that, over a whole band, adds JoinArea.
  static constexpr int JoinGap = int(JoinArea >> BandShift);

  // Starts a call on a target `height` rows high.
  void Reset(int height);
  // The spans were applied, leaving out the excluded rectangles (within the target).
  void AddSpans(std::span<const TSpan> spans, std::span<const TRect> excluded);

  // Tells the sink the rectangles of the cover: within what was added, non-empty, and together
  // covering every pixel added.
  void Report(TDamageSink& sink);

 private:
  struct TBand {
    int Count = 0;
    TRect Runs[RunsPerBand];
  };

  // Pixels x0..x1-1 of row y changed; the row lies in band `index`. Runs may come within reach
  // of one another as they grow: they are joined when reported, which keeps this loop short.
  void AddToBand(TBand& band, int index, int y, int x0, int x1) {
    for (int i = 0; i < band.Count; ++i) {
      TRect& r = band.Runs[i];
      if (x0 > r.Right + JoinGap || x1 + JoinGap < r.Left) continue;
      r = TRect{std::min(r.Left, x0), std::min(r.Top, y), std::max(r.Right, x1), std::max(r.Bottom, y + 1)};
      return;
    }
    AddRun(band, index, TRect{x0, y, x1, y + 1});
  }

  void AddRun(TBand& band, int index, const TRect& run);
  // Sorts the band's runs left to right and joins those within reach of each other.
  static void Settle(TBand& band);

  TBand FBands[MaxBands];
  int FShift = BandShift;
  int FFirst = MaxBands;  // the bands in use
  int FLast = -1;
};

}  // namespace Raster
