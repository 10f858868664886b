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
  // Null when the server has no MIT-SHM or cannot attach (a remote display).
  static std::unique_ptr<TShmSegment> Create(xcb_connection_t* connection, std::size_t bytes);
  ~TShmSegment();
  TShmSegment(const TShmSegment&) = delete;
  TShmSegment& operator=(const TShmSegment&) = delete;

  xcb_shm_seg_t Id() const { return FSegment; }
  std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(FAddress); }
  std::size_t Bytes() const { return FBytes; }

 private:
  TShmSegment(xcb_connection_t* connection, xcb_shm_seg_t segment, void* address, std::size_t bytes)
      : FConnection(connection), FSegment(segment), FAddress(address), FBytes(bytes) {}

  xcb_connection_t* FConnection;
  xcb_shm_seg_t FSegment;
  void* FAddress;
  std::size_t FBytes;
};

// Reads the root window's pixels into a TBitmap: MIT-SHM when the server offers it, plain
// GetImage otherwise. Screens of 24 or 32 bits depth with 32-bit pixels in little-endian
// order are what every current X server has; their ZPixmap rows are RGB32 already.
class TX11Capture {
 public:
  TX11Capture(TX11Connection x11, bool useShm);
  ~TX11Capture();

  // Makes and attaches the segment and lets the server touch its pages once, so the first
  // capture costs what the later ones do.
  void Prepare(int width, int height);
  // The segment itself as pixel memory for a width x height capture target; empty without
  // MIT-SHM and while another block of it is held. A capture into a bitmap on it is written in
  // place by the server. While a bitmap holds it, captures into other bitmaps take the GetImage
  // path, which leaves it alone.
  TPixelBlock Memory(int width, int height);
  bool Capture(TBitmap& target, int width, int height);
  bool UsesShm() const { return FUseShm; }

 private:
  bool FormatSupported() const;
  bool EnsureSegment(std::size_t bytes);
  bool ReadShm(int width, int height);
  bool ReadGetImage(TBitmap& target, int width, int height);
  bool RootSize(int& width, int& height) const;

  TX11Connection FX11;
  bool FUseShm;
  std::shared_ptr<TShmSegment> FSegment;
};
