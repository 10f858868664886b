#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/raster/bitmap.h"
#include "platform/raster/canvas.h"
#include "platform/raster/rect.h"

// The two layers of the surface a step can change.
enum THistoryLayer : int { hlWindow = 0, hlBackground = 1 };

// Undo and redo of the surface's drawing steps, on the raster layer only.
//
// A step keeps the pixels it changed, nothing else. While a step is open, the first time it is
// about to change a tile (TileSide x TileSide pixels of a layer) the tile is copied into a slot
// of a pool made when the history starts, so a pointer move allocates nothing. When the step
// ends each tile is packed: pixels the step left as they were are skipped, window pixels equal
// to the background's are kept as a reference to it (a refresh or a white board keeps the
// drawings only), and runs of one colour as one word. Undo and redo exchange a step's pixels
// with those on the layers, so one copy serves both ways.
//
// Everything the history holds, the pool included, stays within Budget bytes: the oldest steps
// go first; a step too large for the budget on its own cannot be undone.
class TUndoHistory {
 public:
  static constexpr int TileSide = 32;
  static constexpr std::size_t Budget = std::size_t{64} << 20;
  // Slots in the pool (4 MiB): a stroke round a screen corner to corner at width 20 fits.
  // A step that needs more packs what it touches at once, which allocates.
  static constexpr int PoolSlots = 1024;

  TUndoHistory();
  ~TUndoHistory();
  TUndoHistory(const TUndoHistory&) = delete;
  TUndoHistory& operator=(const TUndoHistory&) = delete;

  // Starts on the two layers (the window pixels, the background), which must stay where they
  // are until Stop: the pool is made, the history is empty.
  void Start(TBitmap* window, TBitmap* background);
  // Lets every step go, the open one too, and the pool's memory.
  void Stop();
  bool Started() const { return FWindow != nullptr; }

  // The sink to install on the canvas that draws on `layer`: while a step is open it keeps what
  // a drawing call is about to change.
  TChangeSink* Sink(THistoryLayer layer);
  // While alive, the sinks ignore drawing: for copies that put back what is already there.
  class TPause {
   public:
    explicit TPause(TUndoHistory& history) : FHistory(history), FWas(history.FPaused) { history.FPaused = true; }
    ~TPause() { FHistory.FPaused = FWas; }
    TPause(const TPause&) = delete;
    TPause& operator=(const TPause&) = delete;

   private:
    TUndoHistory& FHistory;
    bool FWas;
  };

  // Opens a step. `overlay` is the XOR frame on the window when the step begins, if any; undo
  // hands it back (TopOverlay) so that the frame can be taken off in the right order.
  void Begin(std::optional<TRect> overlay = std::nullopt);
  bool InStep() const { return FOpen; }
  // `rect` of `layer` is about to change (what the sinks call). Outside a step it does nothing.
  void Touch(THistoryLayer layer, const TRect& rect);
  // The same for a large area changed in one go (a whole layer): packed at once, not through
  // the pool.
  void Keep(THistoryLayer layer, const TRect& rect);
  // Closes the step; with the layers as the step left them. A step that changed nothing is
  // dropped and keeps what could be redone; any other clears it.
  void End();

  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  // The overlay the last step began under.
  std::optional<TRect> UndoOverlay() const;
  // Puts the layers back as before the last step. `around`, when given, runs once the layers'
  // pixels have been taken for redo and before the step's go on, and once after: for an XOR
  // overlay, whose pixels the step kept as they were under it. Returns the window's changed
  // rectangle (empty when there was nothing to do).
  TRect Undo(const std::function<void()>& around = {});
  // Puts the layers back as after the last undone step.
  TRect Redo();

  // What the history holds, for tests and the benchmarks.
  int UndoCount() const { return int(FUndo.size()); }
  int RedoCount() const { return int(FRedo.size()); }
  // Bytes kept by the steps, and by everything (pool and tables too).
  std::size_t StepBytes() const;
  std::size_t Bytes() const;
  std::size_t LastStepBytes() const { return FUndo.empty() ? 0 : FUndo.back().Bytes(); }

 private:
  class TLayerSink;
  struct TStep {
    std::vector<std::uint32_t> Data;  // packed tiles, see history.cpp
    std::optional<TRect> Overlay;
    TRect Window{};  // what the step changed of the window
    std::size_t Bytes() const { return sizeof(TStep) + Data.capacity() * sizeof(std::uint32_t); }
  };
  // Where a tile of the open step is kept.
  static constexpr std::int32_t Untouched = -1;
  static constexpr std::int32_t Packed = -2;
  struct TTouched {
    THistoryLayer Layer;
    std::int32_t Tile;
  };

  TBitmap* Layer(THistoryLayer layer) const { return layer == hlWindow ? FWindow : FBackground; }
  void Mark(THistoryLayer layer, const TRect& rect, bool packNow);
  TRect TileRect(THistoryLayer layer, std::int32_t tile) const;
  // Swaps `step`'s pixels with the layers'.
  void Exchange(TStep& step, const std::function<void()>& around);
  void EnforceBudget();

  TBitmap* FWindow = nullptr;
  TBitmap* FBackground = nullptr;
  int FColumns[2] = {0, 0};
  int FRows[2] = {0, 0};
  std::vector<std::int32_t> FSlotOf[2];  // per tile of the open step: a slot, Untouched or Packed
  std::vector<TTouched> FTouched;        // the tiles of the open step, in the order touched
  std::unique_ptr<std::uint32_t[]> FPool;
  std::vector<std::int32_t> FFreeSlots;
  std::vector<std::uint32_t> FPacked;  // tiles of the open step packed at once
  std::vector<std::uint32_t> FScratch;
  bool FOpen = false;
  bool FPaused = false;
  std::optional<TRect> FOpenOverlay;
  std::unique_ptr<TLayerSink> FSinks[2];
  std::vector<TStep> FUndo;  // oldest first
  std::vector<TStep> FRedo;  // the next to redo last
};
