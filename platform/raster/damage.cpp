#include "platform/raster/damage.h"

#include <utility>

namespace Raster {

namespace {

// The area joining a and b adds beyond what they cover themselves.
std::int64_t JoinCost(const TRect& a, const TRect& b) {
  const TRect u{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                std::max(a.Bottom, b.Bottom)};
  const TRect both = Intersect(a, b);
  return u.Width() * u.Height() - a.Width() * a.Height() - b.Width() * b.Height() + both.Width() * both.Height();
}

TRect Join(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace

void TDamageBands::Reset(int height) {
  for (int b = FFirst; b <= FLast; ++b) FBands[b].Count = 0;
  FFirst = MaxBands;
  FLast = -1;
  FShift = BandShift;
  while ((std::int64_t{MaxBands} << FShift) < height) ++FShift;
}

void TDamageBands::AddSpans(std::span<const TSpan> spans, std::span<const TRect> excluded) {
  // Only rows crossing an excluded rectangle need cutting into pieces.
  int cutTop = 0, cutBottom = 0;
  for (const TRect& r : excluded) {
    cutTop = cutBottom > cutTop ? std::min(cutTop, r.Top) : r.Top;
    cutBottom = std::max(cutBottom, r.Bottom);
  }
  // Taken once: the stores into the table could alias the field as far as the compiler knows.
  const int shift = FShift;
  for (const TSpan& s : spans) {
    const int index = s.Y >> shift;
    if (s.Y < cutTop || s.Y >= cutBottom)
      AddToBand(FBands[index], index, s.Y, s.X0, s.X1);
    else
      ForPieces(s.Y, s.X0, s.X1, excluded, false,
                [&](int x0, int x1) { AddToBand(FBands[index], index, s.Y, x0, x1); });
  }
}

void TDamageBands::AddRun(TBand& band, int index, const TRect& run) {
  if (band.Count == 0) {
    FFirst = std::min(FFirst, index);
    FLast = std::max(FLast, index);
  }
  if (band.Count < RunsPerBand) {
    band.Runs[band.Count++] = run;
    return;
  }
  int best = 0;
  std::int64_t bestCost = JoinCost(band.Runs[0], run);
  for (int i = 1; i < band.Count; ++i) {
    const std::int64_t cost = JoinCost(band.Runs[i], run);
    if (cost < bestCost) best = i, bestCost = cost;
  }
  band.Runs[best] = Join(band.Runs[best], run);
}

void TDamageBands::Settle(TBand& band) {
  for (int i = 1; i < band.Count; ++i)
    for (int j = i; j > 0 && band.Runs[j].Left < band.Runs[j - 1].Left; --j) std::swap(band.Runs[j], band.Runs[j - 1]);
  int kept = 0;
  for (int i = 1; i < band.Count; ++i) {
    if (band.Runs[i].Left <= band.Runs[kept].Right + JoinGap)
      band.Runs[kept] = Join(band.Runs[kept], band.Runs[i]);
    else
      band.Runs[++kept] = band.Runs[i];
  }
  band.Count = std::min(band.Count, kept + 1);
}

void TDamageBands::Report(TDamageSink& sink) {
  // Rectangles still growing downwards: those of the band above, then those the current band
  // starts. Each run joins one of them or starts one, so there are never more than 2 bands' worth.
  TRect open[2 * RunsPerBand];
  bool grown[2 * RunsPerBand];
  int openCount = 0;
  for (int b = FFirst; b <= FLast; ++b) {
    TBand& band = FBands[b];
    Settle(band);
    const int above = openCount;
    std::fill(grown, grown + above, false);
    for (int i = 0; i < band.Count; ++i) {
      const TRect& run = band.Runs[i];
      int best = -1;
      std::int64_t bestCost = JoinArea + 1;
      for (int o = 0; o < above; ++o) {
        const std::int64_t cost = JoinCost(open[o], run);
        if (cost < bestCost) best = o, bestCost = cost;
      }
      if (best >= 0) {
        open[best] = Join(open[best], run);
        grown[best] = true;
      } else {
        open[openCount++] = run;
      }
    }
    // What the band did not continue is finished.
    int kept = 0;
    for (int o = 0; o < openCount; ++o) {
      if (o < above && !grown[o])
        sink.Damaged(open[o]);
      else
        open[kept++] = open[o];
    }
    openCount = kept;
  }
  for (int o = 0; o < openCount; ++o) sink.Damaged(open[o]);
}

}  // namespace Raster
