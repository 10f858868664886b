#pragma once

#include <QIcon>
#include <QImage>

#include "platform/drawing.h"
#include "platform/imagelist.h"

// Pictures on Qt: drawn with QPainter, shown through QImage and QIcon.

// A copy of the picture in QImage::Format_ARGB32_Premultiplied; null for an empty picture.
QImage QtImage(const TPicture& picture);
// A copy of the image's pixels, premultiplied.
TPicture PictureOf(const QImage& image);

// The plain icon of a fixed picture, shown in the style's disabled look on a disabled control.
QIcon QtIcon(const TPicture& picture);
// An icon drawn from the picture's drawing at the device ratio of the screen it shows on (exactly
// the plain picture at ratio 1), never larger than the picture, in its full colours in every mode.
QIcon QtIcon(const TDrawnPicture& picture);
// The list's picture at `index` as such an icon, a fixed one in its full colours in every mode;
// a null icon for an index outside the list.
QIcon QtIcon(const TImageList& list, int index);

// Installs QPainter as the renderer of every picture of the process (it lives until the process
// ends). Needs a QGuiApplication.
void InstallQtPictureRenderer();
