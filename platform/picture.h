#pragma once

#include <QString>

class TBitmap;

// Picture files. Failures throw Exception with a message saying what went wrong.
// Writes the bitmap as a Windows BMP file, atomically: a failed write leaves any earlier file
// of that name as it was.
void SaveBitmapToFile(const TBitmap& bitmap, const QString& fileName);
// Loads a picture by the file name's extension; only bitmaps (".bmp") can be drawn from, so any
// other kind, unreadable data, or a picture past the size limit throws.
void LoadBitmapFromFile(TBitmap& bitmap, const QString& fileName);
