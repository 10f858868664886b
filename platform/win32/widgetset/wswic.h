#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/raster/bitmap.h"

// Compressed pictures (PNG, JPEG, GIF, TIFF...) through the Windows Imaging Component, a
// system part of Windows: what other programs put on the clipboard in a format other than a
// bitmap. Each call initialises COM on its thread for its own duration when nobody has.

// Decodes the picture file held in `data` (its first frame) into `bitmap`, alpha dropped; false,
// with `bitmap` untouched, when WIC cannot read it or it is past TBitmap's size limit.
bool DecodeWithWic(std::span<const std::uint8_t> data, TBitmap& bitmap);

// A PNG file of width x height 0x00RRGGBB pixels, rows `stride` pixels apart, as WIC writes it
// (opaque, 24 bits a pixel); empty when WIC fails. Safe on any thread.
std::vector<std::uint8_t> EncodePngWithWic(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride);
