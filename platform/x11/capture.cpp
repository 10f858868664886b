#include "platform/x11/capture.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/raster/bitmap.h"
#include "platform/x11/xcbreply.h"

namespace {

constexpr std::uint32_t AllPlanes = ~0u;

// Copies `height` rows of `width` pixels, `sourceStride` pixels apart, into the bitmap's rows
// from `top` on.
void CopyRows(const std::uint32_t* source, int sourceStride, TBitmap& target, int width, int height, int top = 0) {
  const std::size_t rowBytes = std::size_t(width) * sizeof(std::uint32_t);
  for (int y = 0; y < height; ++y)
    std::memcpy(target.ScanLine(top + y), source + std::ptrdiff_t(y) * sourceStride, rowBytes);
}

}  // namespace

std::unique_ptr<TShmSegment> TShmSegment::Create(xcb_connection_t* connection, std::size_t bytes, bool* unsupported) {
  *unsupported = false;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
  if (!extension || !extension->present) {
    *unsupported = true;
    return nullptr;
  }
  if (bytes == 0) return nullptr;

  // Failing here is a matter of memory (limits, address space): a smaller screen may fit later.
  const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shmId < 0) return nullptr;
  void* address = shmat(shmId, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(shmId, IPC_RMID, nullptr);
    return nullptr;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(connection);
  const bool attached = XcbCheck(connection, xcb_shm_attach_checked(connection, segment, shmId, /*read_only=*/0)) == 0;
  // Marked for removal now that both sides are attached: the segment goes away with the last
  // detach, even when this process is killed.
  shmctl(shmId, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    *unsupported = true;
    return nullptr;
  }
  return std::unique_ptr<TShmSegment>(new TShmSegment(connection, segment, address, bytes));
}

TShmSegment::~TShmSegment() {
  if (!FLost) {
    xcb_shm_detach(FConnection, FSegment);
    xcb_flush(FConnection);
  }
  shmdt(FAddress);
}

TX11Capture::TX11Capture(TX11Connection x11, bool useShm, int shmLossAfter)
    : FX11(x11), FUseShm(useShm), FShmLossAfter(shmLossAfter) {}

TX11Capture::~TX11Capture() = default;

bool TX11Capture::FormatSupported() const {
  if (!FX11) return false;
  const xcb_setup_t* setup = xcb_get_setup(FX11.Connection);
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  const std::uint8_t depth = FX11.Screen->root_depth;
  if (depth != 24 && depth != 32) return false;
  xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup);
  for (; it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == depth) return it.data->bits_per_pixel == 32;
  }
  return false;
}

bool TX11Capture::RootSize(int& width, int& height) const {
  // Asked each time: RandR may have resized the root since the setup data was sent.
  auto geometry = XcbReply(xcb_get_geometry_reply, FX11.Connection, xcb_get_geometry(FX11.Connection, FX11.Root()));
  if (!geometry) return false;
  width = geometry->width;
  height = geometry->height;
  return true;
}

bool TX11Capture::EnsureSegment(std::size_t bytes) {
  if (FSegment && FSegment->Bytes() >= bytes) return true;
  FSegment.reset();
  bool unsupported = false;
  FSegment = TShmSegment::Create(FX11.Connection, bytes, &unsupported);
  // A server without MIT-SHM (or one on another machine) will not grow one later.
  if (unsupported) FUseShm = false;
  return FSegment != nullptr;
}

void TX11Capture::Prepare(int width, int height) {
  if (!FUseShm || !FormatSupported()) return;
  int rootWidth = 0;
  int rootHeight = 0;
  if (!RootSize(rootWidth, rootHeight)) return;
  width = std::min(width, rootWidth);
  height = std::min(height, rootHeight);
  if (width <= 0 || height <= 0) return;
  const std::size_t bytes = std::size_t(width) * height * sizeof(std::uint32_t);
  // A segment large enough is ready already; a bitmap may live on it, which a read now would
  // overwrite.
  if (FSegment && FSegment->Bytes() >= bytes) return;
  if (!EnsureSegment(bytes)) return;
  // The server faults in its side of the pages on this read; reading one word per page does
  // the same for ours.
  if (!ReadShm(0, 0, width, height)) return;
  const long page = sysconf(_SC_PAGESIZE);
  const std::size_t step = page > 0 ? std::size_t(page) / sizeof(std::uint32_t) : 1024;
  volatile std::uint32_t sink = 0;
  for (std::size_t i = 0; i < FSegment->Bytes() / sizeof(std::uint32_t); i += step) sink = sink + FSegment->Pixels()[i];
}

TPixelBlock TX11Capture::Memory(int width, int height) {
  Prepare(width, height);
  const std::size_t pixels = std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0));
  if (!FUseShm || !FSegment || pixels == 0 || FSegment->Bytes() < pixels * sizeof(std::uint32_t)) return {};
  // One bitmap at a time: two on the same memory would overwrite each other's picture.
  if (FSegment.use_count() > 1) return {};
  return TPixelBlock::Borrow(FSegment->Pixels(), FSegment->Bytes() / sizeof(std::uint32_t), FSegment);
}

bool TX11Capture::ReadShm(int left, int top, int width, int height) {
  xcb_connection_t* c = FX11.Connection;
  xcb_generic_error_t* rawError = nullptr;
  TXcbPtr<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
      c,
      xcb_shm_get_image(c, FX11.Root(), std::int16_t(left), std::int16_t(top), width, height, AllPlanes, XCB_IMAGE_FORMAT_Z_PIXMAP, FSegment->Id(), 0),
      &rawError));
  TXcbPtr<xcb_generic_error_t> error(rawError);
  if (reply && reply->size >= std::uint32_t(width) * height * sizeof(std::uint32_t)) return true;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_shm_id);
  const bool lost = error && extension && error->error_code == extension->first_error + XCB_SHM_BAD_SEG;
  AbandonShm(lost);
  return false;
}

void TX11Capture::AbandonShm(bool lost) {
  FUseShm = false;
  if (!FSegment) return;
  if (lost) FSegment->MarkLost();
  // A bitmap on the segment keeps it (and its pixels) until it lets go.
  FSegment.reset();
}

bool TX11Capture::ReadGetImage(TBitmap& target, int left, int top, int width, int height) {
  xcb_connection_t* c = FX11.Connection;
  // In bands of a few MiB: one reply for the whole screen would be a third screen-sized buffer,
  // and xcb gives up the whole connection when it cannot allocate a reply.
  constexpr std::size_t BandBytes = 4u << 20;
  const std::size_t rowBytes = std::size_t(width) * sizeof(std::uint32_t);
  const int bandRows = int(std::max<std::size_t>(1, std::min<std::size_t>(BandBytes / rowBytes, std::size_t(height))));
  for (int row = 0; row < height; row += bandRows) {
    const int rows = std::min(bandRows, height - row);
    auto reply = XcbReply(xcb_get_image_reply, c,
                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, FX11.Root(), std::int16_t(left), std::int16_t(top + row),
                                        std::uint16_t(width), std::uint16_t(rows), AllPlanes));
    if (!reply) return false;
    const int length = xcb_get_image_data_length(reply.get());
    if (std::size_t(length) < rowBytes * std::size_t(rows)) return false;
    CopyRows(reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply.get())), width, target, width, rows, row);
  }
  return true;
}

bool TX11Capture::Capture(TBitmap& target, int left, int top, int width, int height) {
  if (!FormatSupported()) return false;
  int rootWidth = 0;
  int rootHeight = 0;
  if (!RootSize(rootWidth, rootHeight)) return false;
  // A monitor lies inside the root; one that RandR has just taken away may not.
  if (left < 0 || top < 0 || left >= rootWidth || top >= rootHeight) return false;
  width = std::min({width, target.Width(), rootWidth - left});
  height = std::min({height, target.Height(), rootHeight - top});
  if (width <= 0 || height <= 0) return true;  // nothing to copy

  if (FSegment && target.ScanLine(0) == FSegment->Pixels()) {
    // The target is the segment: the server writes the picture in place, rows packed, so
    // only a capture as wide as the target's rows can go that way.
    if (width == target.Stride() && ReadShmCounted(left, top, width, height)) return true;
    return ReadGetImage(target, left, top, width, height);
  }
  // A segment some bitmap lives on must not be overwritten by a capture meant for another.
  const bool lent = FSegment && FSegment.use_count() > 1;
  if (FUseShm && !lent && EnsureSegment(std::size_t(width) * height * sizeof(std::uint32_t))) {
    if (ReadShmCounted(left, top, width, height)) {
      CopyRows(FSegment->Pixels(), width, target, width, height);
      return true;
    }
  }
  return ReadGetImage(target, left, top, width, height);
}

xcb_shm_seg_t TX11Capture::SegmentOf(const TBitmap& bitmap) const {
  if (!FUseShm || !FSegment || bitmap.Empty() || bitmap.Width() != bitmap.Stride()) return 0;
  const std::size_t bytes = std::size_t(bitmap.Width()) * bitmap.Height() * sizeof(std::uint32_t);
  return bitmap.ScanLine(0) == FSegment->Pixels() && bytes <= FSegment->Bytes() ? FSegment->Id() : 0;
}

bool TX11Capture::ReadShmCounted(int left, int top, int width, int height) {
  if (FShmLossAfter == 0) {
    FShmLossAfter = -1;
    XcbCheck(FX11.Connection, xcb_shm_detach_checked(FX11.Connection, FSegment->Id()));
  } else if (FShmLossAfter > 0) {
    --FShmLossAfter;
  }
  return ReadShm(left, top, width, height);
}
