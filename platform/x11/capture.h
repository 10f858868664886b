#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/raster/pixelpool.h"
#include "platform/x11/x11connection.h"

class TBitmap;

// A System V shared-memory segment attached to the X server, so the server writes a captured
// screen straight into our memory (MIT-SHM), 5-10x quicker than an image sent over the socket.
class TShmSegment {
 public:
  // Null when the server has no MIT-SHM or cannot attach (a remote display), and then
  // `unsupported` is set; null with it clear when only the memory could not be had now.
  static std::unique_ptr<TShmSegment> Create(xcb_connection_t* connection, std::size_t bytes, bool* unsupported);
  ~TShmSegment();
  TShmSegment(const TShmSegment&) = delete;
  TShmSegment& operator=(const TShmSegment&) = delete;

  xcb_shm_seg_t Id() const { return FSegment; }
  std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(FAddress); }
  std::size_t Bytes() const { return FBytes; }
  // The server no longer knows the segment: it is not detached there again. Our side stays
  // mapped until the last holder lets go.
  void MarkLost() { FLost = true; }

 private:
  TShmSegment(xcb_connection_t* connection, xcb_shm_seg_t segment, void* address, std::size_t bytes)
      : FConnection(connection), FSegment(segment), FAddress(address), FBytes(bytes) {}

  xcb_connection_t* FConnection;
  xcb_shm_seg_t FSegment;
  void* FAddress;
  std::size_t FBytes;
  bool FLost = false;
};

// Reads the root window's pixels into a TBitmap: MIT-SHM when the server offers it, plain
// GetImage otherwise. Screens of 24 or 32 bits depth with 32-bit pixels in little-endian
// order are what every current X server has; their ZPixmap rows are RGB32 already.
//
// A MIT-SHM read that fails (the server lost the segment, or refuses it) ends the use of MIT-SHM
// for the rest of the run; that capture and the later ones take the GetImage path. A bitmap
// living on the segment keeps it mapped on our side and stays valid.
class TX11Capture {
 public:
  // After `shmLossAfter` captures through the segment, the server is made to forget it, as a
  // server that dropped it would (a test hook; negative: never).
  TX11Capture(TX11Connection x11, bool useShm, int shmLossAfter = -1);
  ~TX11Capture();

  // Makes and attaches the segment and lets the server touch its pages once, so the first
  // capture costs what the later ones do.
  void Prepare(int width, int height);
  // The segment itself as pixel memory for a width x height capture target; empty without
  // MIT-SHM and while another block of it is held. A capture into a bitmap on it is written in
  // place by the server. While a bitmap holds it, captures into other bitmaps take the GetImage
  // path, which leaves it alone.
  TPixelBlock Memory(int width, int height);
  // The root's pixels (left, top, width, height) into (0, 0) of target, clipped to both.
  bool Capture(TBitmap& target, int left, int top, int width, int height);
  // Drops our hold on the segment; a bitmap living on it keeps it until it lets go.
  void Release() { FSegment.reset(); }
  bool UsesShm() const { return FUseShm; }
  // The segment `bitmap` lives on, rows packed, as the server knows it; 0 for any other bitmap.
  xcb_shm_seg_t SegmentOf(const TBitmap& bitmap) const;

 private:
  bool FormatSupported() const;
  bool EnsureSegment(std::size_t bytes);
  bool ReadShm(int left, int top, int width, int height);
  // A capture's read through the segment, counted for the test hook.
  bool ReadShmCounted(int left, int top, int width, int height);
  // Stops using MIT-SHM after a failed read; `lost` when the server no longer has the segment.
  void AbandonShm(bool lost);
  bool ReadGetImage(TBitmap& target, int left, int top, int width, int height);
  bool RootSize(int& width, int& height) const;

  TX11Connection FX11;
  bool FUseShm;
  std::shared_ptr<TShmSegment> FSegment;
  int FShmLossAfter;
};
