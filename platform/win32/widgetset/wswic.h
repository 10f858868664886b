#pragma once

#include <cstdint>
#include <span>

#include "platform/raster/bitmap.h"

// Compressed pictures (PNG, JPEG, GIF, TIFF...) through the Windows Imaging Component, a
// system part of Windows: what other programs put on the clipboard in a format other than a
// bitmap. Each call initialises COM on its thread for its own duration when nobody has.

// Decodes the picture file held in `data` (its first frame) into `bitmap`, alpha dropped; false,
// with `bitmap` untouched, when WIC cannot read it or it is past TBitmap's size limit.
bool DecodeWithWic(std::span<const std::uint8_t> data, TBitmap& bitmap);
