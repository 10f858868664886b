#include "surface/history.h"

#include <algorithm>
#include <cstring>

// A step's pixels are a list of packed tiles, each:
//   word 0: the layer in the top bit, the tile's index below it;
//   word 1: the number of words of runs that follow;
//   runs over the tile's pixels row by row, each a header (kind in the top 4 bits, pixel count
//   below) and its data: RunSkip (the step left these pixels alone: none), RunBase (window
//   pixels equal to the background's at the same place: none), RunFill (one pixel value) and
//   RunLiteral (one word per pixel).

namespace {

constexpr std::uint32_t RunSkip = 0;
constexpr std::uint32_t RunBase = 1;
constexpr std::uint32_t RunFill = 2;
constexpr std::uint32_t RunLiteral = 3;
constexpr int KindShift = 28;
constexpr std::uint32_t CountMask = (1u << KindShift) - 1;
constexpr std::uint32_t LayerBit = 1u << 31;
// Equal pixels shorter than this stay literal: a fill run costs two words.
constexpr std::uint32_t MinFill = 3;

constexpr int TilePixels = TUndoHistory::TileSide * TUndoHistory::TileSide;

std::uint32_t Header(std::uint32_t kind, std::uint32_t count) { return kind << KindShift | count; }
std::uint32_t KindOf(std::uint32_t header) { return header >> KindShift; }
std::uint32_t CountOf(std::uint32_t header) { return header & CountMask; }

// Writes one tile's runs at the end of `out`, pixel by pixel.
class TPacker {
 public:
  TPacker(std::vector<std::uint32_t>& out, THistoryLayer layer, std::int32_t tile) : FOut(out), FStart(out.size()) {
    FOut.push_back((layer == hlBackground ? LayerBit : 0) | std::uint32_t(tile));
    FOut.push_back(0);
  }

  void Skip() { Mark(RunSkip); }
  void Base() {
    FKept = true;
    Mark(RunBase);
  }
  void Pixel(std::uint32_t value) {
    FKept = true;
    if (FRunOpen && FKind == RunFill && FOut.back() == value) {
      ++FCount;
      return;
    }
    if (FRunOpen && FKind == RunLiteral && FCount >= MinFill - 1 && FOut[FOut.size() - 1] == value &&
        FOut[FOut.size() - 2] == value) {
      // The last literals and this one become a fill run.
      FOut.resize(FOut.size() - (MinFill - 1));
      FCount -= MinFill - 1;
      if (FCount == 0) {
        FOut.pop_back();  // the literal run's header
        FRunOpen = false;
      }
      Close();
      Open(RunFill);
      FOut.push_back(value);
      FCount = MinFill;
      return;
    }
    if (!FRunOpen || FKind != RunLiteral) {
      Close();
      Open(RunLiteral);
    }
    FOut.push_back(value);
    ++FCount;
  }

  // Ends the tile; a tile whose every pixel was skipped is taken out again. True when kept.
  bool Finish() {
    Close();
    if (!FKept) {
      FOut.resize(FStart);
      return false;
    }
    FOut[FStart + 1] = std::uint32_t(FOut.size() - FStart - 2);
    return true;
  }

 private:
  void Mark(std::uint32_t kind) {
    if (FRunOpen && FKind == kind) {
      ++FCount;
      return;
    }
    Close();
    Open(kind);
    FCount = 1;
  }
  void Open(std::uint32_t kind) {
    FKind = kind;
    FHeader = FOut.size();
    FOut.push_back(0);
    FCount = 0;
    FRunOpen = true;
  }
  void Close() {
    if (!FRunOpen) return;
    FOut[FHeader] = Header(FKind, FCount);
    FRunOpen = false;
  }

  std::vector<std::uint32_t>& FOut;
  std::size_t FStart;
  std::size_t FHeader = 0;
  std::uint32_t FKind = RunSkip;
  std::uint32_t FCount = 0;
  bool FRunOpen = false;
  bool FKept = false;
};

// Walks a packed tile's runs: `visit(kind, value words, count)`.
template <class TVisit>
void ForEachRun(const std::uint32_t* runs, std::uint32_t words, TVisit&& visit) {
  const std::uint32_t* end = runs + words;
  while (runs < end) {
    const std::uint32_t kind = KindOf(*runs);
    const std::uint32_t count = CountOf(*runs);
    ++runs;
    visit(kind, runs, count);
    if (kind == RunFill) runs += 1;
    if (kind == RunLiteral) runs += count;
  }
}

// The pixels of a tile of a bitmap in the order the runs take them, row by row.
class TTileWalk {
 public:
  TTileWalk(TBitmap& bitmap, const TRect& tile)
      : FBitmap(bitmap), FTile(tile), FX(tile.Left), FY(tile.Top), FRow(bitmap.ScanLine(tile.Top)) {}
  std::uint32_t& operator*() const { return FRow[FX]; }
  void Next() {
    if (++FX < FTile.Right) return;
    FX = FTile.Left;
    if (++FY < FTile.Bottom) FRow = FBitmap.ScanLine(FY);
  }

 private:
  TBitmap& FBitmap;
  TRect FTile;
  int FX;
  int FY;
  std::uint32_t* FRow;
};

TRect Union(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace

class TUndoHistory::TLayerSink : public TChangeSink {
 public:
  TLayerSink(TUndoHistory& history, THistoryLayer layer) : FHistory(history), FLayer(layer) {}
  void Changing(const TRect& rect) override {
    if (FHistory.FOpen && !FHistory.FPaused) FHistory.Touch(FLayer, rect);
  }

 private:
  TUndoHistory& FHistory;
  THistoryLayer FLayer;
};

TUndoHistory::TUndoHistory()
    : FSinks{std::make_unique<TLayerSink>(*this, hlWindow), std::make_unique<TLayerSink>(*this, hlBackground)} {}

TUndoHistory::~TUndoHistory() = default;

TChangeSink* TUndoHistory::Sink(THistoryLayer layer) { return FSinks[layer].get(); }

void TUndoHistory::Start(TBitmap* window, TBitmap* background) {
  Stop();
  if (window == nullptr || background == nullptr) return;
  FWindow = window;
  FBackground = background;
  std::size_t tiles = 0;
  for (const THistoryLayer layer : {hlWindow, hlBackground}) {
    const TBitmap* bitmap = Layer(layer);
    FColumns[layer] = (bitmap->Width() + TileSide - 1) / TileSide;
    FRows[layer] = (bitmap->Height() + TileSide - 1) / TileSide;
    FSlotOf[layer].assign(std::size_t(FColumns[layer]) * FRows[layer], Untouched);
    tiles += FSlotOf[layer].size();
  }
  // Made here, so that touching tiles during a step never allocates. The pages come when first
  // written.
  FTouched.reserve(tiles);
  FPool.reset(new std::uint32_t[std::size_t{PoolSlots} * TilePixels]);
  FFreeSlots.reserve(PoolSlots);
  for (int slot = PoolSlots - 1; slot >= 0; --slot) FFreeSlots.push_back(slot);
}

void TUndoHistory::Stop() {
  FOpen = false;
  FOpenOverlay.reset();
  FWindow = nullptr;
  FBackground = nullptr;
  for (auto& slots : FSlotOf) std::vector<std::int32_t>().swap(slots);
  std::vector<TTouched>().swap(FTouched);
  FPool.reset();
  std::vector<std::int32_t>().swap(FFreeSlots);
  std::vector<std::uint32_t>().swap(FPacked);
  std::vector<std::uint32_t>().swap(FScratch);
  std::vector<TStep>().swap(FUndo);
  std::vector<TStep>().swap(FRedo);
}

void TUndoHistory::Begin(std::optional<TRect> overlay) {
  if (!Started()) return;
  if (FOpen) End();
  FOpen = true;
  FOpenOverlay = overlay;
}

void TUndoHistory::Touch(THistoryLayer layer, const TRect& rect) {
  if (FOpen) Mark(layer, rect, false);
}

void TUndoHistory::Keep(THistoryLayer layer, const TRect& rect) {
  if (FOpen) Mark(layer, rect, true);
}

TRect TUndoHistory::TileRect(THistoryLayer layer, std::int32_t tile) const {
  const int cx = tile % FColumns[layer];
  const int cy = tile / FColumns[layer];
  const TBitmap* bitmap = Layer(layer);
  return Intersect(TRect{cx * TileSide, cy * TileSide, cx * TileSide + TileSide, cy * TileSide + TileSide},
                   TRect{0, 0, bitmap->Width(), bitmap->Height()});
}

void TUndoHistory::Mark(THistoryLayer layer, const TRect& rect, bool packNow) {
  TBitmap& bitmap = *Layer(layer);
  const TRect r = Intersect(rect, TRect{0, 0, bitmap.Width(), bitmap.Height()});
  if (r.IsEmpty()) return;
  const bool sameGrid = FColumns[0] == FColumns[1] && FRows[0] == FRows[1];
  for (int cy = r.Top / TileSide; cy <= (r.Bottom - 1) / TileSide; ++cy) {
    for (int cx = r.Left / TileSide; cx <= (r.Right - 1) / TileSide; ++cx) {
      const std::int32_t tile = cy * FColumns[layer] + cx;
      std::int32_t& slot = FSlotOf[layer][std::size_t(tile)];
      if (slot != Untouched) continue;
      const TRect t = TileRect(layer, tile);
      const int w = int(t.Width());
      if (!packNow && !FFreeSlots.empty()) {
        slot = FFreeSlots.back();
        FFreeSlots.pop_back();
        std::uint32_t* kept = FPool.get() + std::size_t(slot) * TilePixels;
        for (int y = t.Top; y < t.Bottom; ++y)
          std::memcpy(kept + std::ptrdiff_t{y - t.Top} * w, bitmap.ScanLine(y) + t.Left, sizeof(std::uint32_t) * w);
      } else {
        // Window pixels may refer to the background only while its tile is as it was: kept
        // before it is drawn on, or not part of the step.
        const bool base = layer == hlWindow && sameGrid && FSlotOf[hlBackground][std::size_t(tile)] <= Untouched;
        TPacker packer(FPacked, layer, tile);
        for (int y = t.Top; y < t.Bottom; ++y) {
          const std::uint32_t* row = bitmap.ScanLine(y);
          const std::uint32_t* under = base ? FBackground->ScanLine(y) : nullptr;
          for (int x = t.Left; x < t.Right; ++x) {
            if (under != nullptr && row[x] == under[x])
              packer.Base();
            else
              packer.Pixel(row[x]);
          }
        }
        packer.Finish();
        slot = Packed;
      }
      FTouched.push_back(TTouched{layer, tile});
    }
  }
}

void TUndoHistory::End() {
  if (!FOpen) return;
  FOpen = false;
  const bool sameGrid = FColumns[0] == FColumns[1] && FRows[0] == FRows[1];
  TStep step;
  step.Overlay = FOpenOverlay;
  FScratch.clear();
  for (const TTouched& touched : FTouched) {
    const std::int32_t slot = FSlotOf[touched.Layer][std::size_t(touched.Tile)];
    if (slot < 0) continue;
    TBitmap& bitmap = *Layer(touched.Layer);
    const TRect t = TileRect(touched.Layer, touched.Tile);
    const std::uint32_t* before = FPool.get() + std::size_t(slot) * TilePixels;
    // The background here is as the step found it unless the step kept its tile too.
    const bool base =
        touched.Layer == hlWindow && sameGrid && FSlotOf[hlBackground][std::size_t(touched.Tile)] == Untouched;
    TPacker packer(FScratch, touched.Layer, touched.Tile);
    for (int y = t.Top; y < t.Bottom; ++y) {
      const std::uint32_t* row = bitmap.ScanLine(y);
      const std::uint32_t* under = base ? FBackground->ScanLine(y) : nullptr;
      for (int x = t.Left; x < t.Right; ++x, ++before) {
        if (*before == row[x])
          packer.Skip();
        else if (under != nullptr && *before == under[x])
          packer.Base();
        else
          packer.Pixel(*before);
      }
    }
    if (packer.Finish() && touched.Layer == hlWindow) step.Window = Union(step.Window, t);
    FFreeSlots.push_back(slot);
  }
  // Tiles packed at once: a window tile that was the background's and still is, with the
  // background left alone, did not change.
  for (std::size_t at = 0; at < FPacked.size();) {
    const std::uint32_t head = FPacked[at];
    const std::uint32_t words = FPacked[at + 1];
    const THistoryLayer layer = head & LayerBit ? hlBackground : hlWindow;
    const auto tile = std::int32_t(head & ~LayerBit);
    const TRect t = TileRect(layer, tile);
    bool unchanged = false;
    if (layer == hlWindow && sameGrid && words == 1 && KindOf(FPacked[at + 2]) == RunBase &&
        FSlotOf[hlBackground][std::size_t(tile)] == Untouched) {
      unchanged = true;
      for (int y = t.Top; y < t.Bottom && unchanged; ++y)
        unchanged = std::memcmp(FWindow->ScanLine(y) + t.Left, FBackground->ScanLine(y) + t.Left,
                                sizeof(std::uint32_t) * std::size_t(t.Width())) == 0;
    }
    if (!unchanged) {
      FScratch.insert(FScratch.end(), FPacked.begin() + std::ptrdiff_t(at),
                      FPacked.begin() + std::ptrdiff_t(at + 2 + words));
      if (layer == hlWindow) step.Window = Union(step.Window, t);
    }
    at += 2 + words;
  }
  for (const TTouched& touched : FTouched) FSlotOf[touched.Layer][std::size_t(touched.Tile)] = Untouched;
  FTouched.clear();
  // The open step's buffers are kept for the next one unless a large step made them large.
  constexpr std::size_t KeepCapacity = std::size_t{1} << 18;
  if (FPacked.capacity() > KeepCapacity)
    std::vector<std::uint32_t>().swap(FPacked);
  else
    FPacked.clear();
  if (FScratch.empty()) return;
  step.Data.assign(FScratch.begin(), FScratch.end());
  if (FScratch.capacity() > KeepCapacity) std::vector<std::uint32_t>().swap(FScratch);
  FRedo.clear();
  FUndo.push_back(std::move(step));
  EnforceBudget();
}

std::optional<TRect> TUndoHistory::UndoOverlay() const {
  if (FUndo.empty()) return std::nullopt;
  return FUndo.back().Overlay;
}

void TUndoHistory::Exchange(TStep& step, const std::function<void()>& around) {
  // What the layers hold now, under the same mask, becomes the step's; then the step's pixels go
  // onto the layers, the background first, as the window's may refer to it.
  const bool sameGrid = FColumns[0] == FColumns[1] && FRows[0] == FRows[1];
  FScratch.clear();
  const std::vector<std::uint32_t>& data = step.Data;
  for (std::size_t at = 0; at < data.size(); at += 2 + data[at + 1]) {
    const THistoryLayer layer = data[at] & LayerBit ? hlBackground : hlWindow;
    const auto tile = std::int32_t(data[at] & ~LayerBit);
    TBitmap& bitmap = *Layer(layer);
    const TRect t = TileRect(layer, tile);
    const bool base = layer == hlWindow && sameGrid;
    TPacker packer(FScratch, layer, tile);
    TTileWalk now(bitmap, t);
    TTileWalk under(*FBackground, base ? t : TRect{0, 0, 1, 1});
    ForEachRun(&data[at + 2], data[at + 1], [&](std::uint32_t kind, const std::uint32_t*, std::uint32_t count) {
      for (std::uint32_t n = 0; n < count; ++n, now.Next(), under.Next()) {
        if (kind == RunSkip)
          packer.Skip();
        else if (base && *now == *under)
          packer.Base();
        else
          packer.Pixel(*now);
      }
    });
    packer.Finish();
  }
  if (around) around();
  for (const THistoryLayer pass : {hlBackground, hlWindow}) {
    for (std::size_t at = 0; at < data.size(); at += 2 + data[at + 1]) {
      const THistoryLayer layer = data[at] & LayerBit ? hlBackground : hlWindow;
      if (layer != pass) continue;
      TBitmap& bitmap = *Layer(layer);
      const TRect t = TileRect(layer, std::int32_t(data[at] & ~LayerBit));
      const bool base = layer == hlWindow && sameGrid;
      TTileWalk pixel(bitmap, t);
      TTileWalk under(*FBackground, base ? t : TRect{0, 0, 1, 1});
      ForEachRun(&data[at + 2], data[at + 1], [&](std::uint32_t kind, const std::uint32_t* value, std::uint32_t count) {
        for (std::uint32_t n = 0; n < count; ++n, pixel.Next(), under.Next()) {
          switch (kind) {
            case RunBase: *pixel = *under; break;
            case RunFill: *pixel = *value; break;
            case RunLiteral: *pixel = value[n]; break;
            default: break;
          }
        }
      });
    }
  }
  if (around) around();
  step.Data.assign(FScratch.begin(), FScratch.end());
  constexpr std::size_t KeepCapacity = std::size_t{1} << 18;
  if (FScratch.capacity() > KeepCapacity) std::vector<std::uint32_t>().swap(FScratch);
}

TRect TUndoHistory::Undo(const std::function<void()>& around) {
  End();
  if (FUndo.empty()) return TRect{};
  TStep step = std::move(FUndo.back());
  FUndo.pop_back();
  Exchange(step, around);
  const TRect changed = step.Window;
  FRedo.push_back(std::move(step));
  EnforceBudget();
  return changed;
}

TRect TUndoHistory::Redo() {
  End();
  if (FRedo.empty()) return TRect{};
  TStep step = std::move(FRedo.back());
  FRedo.pop_back();
  Exchange(step, {});
  // What the step now keeps was taken with no overlay over it.
  step.Overlay.reset();
  const TRect changed = step.Window;
  FUndo.push_back(std::move(step));
  EnforceBudget();
  return changed;
}

std::size_t TUndoHistory::StepBytes() const {
  std::size_t bytes = 0;
  for (const TStep& step : FUndo) bytes += step.Bytes();
  for (const TStep& step : FRedo) bytes += step.Bytes();
  return bytes;
}

std::size_t TUndoHistory::Bytes() const {
  std::size_t bytes = StepBytes();
  if (FPool) bytes += std::size_t{PoolSlots} * TilePixels * sizeof(std::uint32_t);
  for (const auto& slots : FSlotOf) bytes += slots.capacity() * sizeof(std::int32_t);
  bytes += FTouched.capacity() * sizeof(TTouched) + FFreeSlots.capacity() * sizeof(std::int32_t);
  bytes += (FUndo.capacity() + FRedo.capacity()) * sizeof(TStep);
  return bytes;
}

void TUndoHistory::EnforceBudget() {
  // The oldest first; then what could be redone, the farthest first.
  while (Bytes() > Budget && !FUndo.empty()) FUndo.erase(FUndo.begin());
  while (Bytes() > Budget && !FRedo.empty()) FRedo.erase(FRedo.begin());
}
