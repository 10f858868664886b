#pragma once

#include <cstdint>
#include <span>

#include "platform/strings.h"

class TBitmap;

// Picture files. Failures throw Exception with a message saying what went wrong, and leave the
// bitmap as it was.
// Writes the bitmap as a 24-bit Windows BMP file, atomically: a failed write leaves any earlier
// file of that name as it was, and no temporary file behind.
void SaveBitmapToFile(const TBitmap& bitmap, const String& fileName);
// Loads a picture by the file name's extension, in any letter case. Icons (".ico") and metafiles
// (".wmf", ".emf") are pictures the framework knows but cannot draw from; only bitmaps (".bmp")
// load. Another extension, a missing or unreadable file, data that is not a bitmap we read, or a
// picture past the size limit throws.
void LoadBitmapFromFile(TBitmap& bitmap, const String& fileName);
// Decodes a whole BMP file held in memory (a file's bytes, or "image/bmp" from the clipboard).
// Throws Exception "Bitmap image is not valid" for anything that is not a bitmap we read.
void LoadBitmapFromMemory(TBitmap& bitmap, std::span<const std::uint8_t> data);
