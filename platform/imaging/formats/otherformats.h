#pragma once

// Formats the library reads through ImageMagick (GIF, PSD, BMP, DCX, PCX, ICO, PNM/PPM,
// PCD, TGA) or through the metafile renderer (EMF, WMF).

#include "platform/imaging/formats/raster.h"

#include <QString>
#include <functional>

namespace imaging {

// Called once per decoded page in page order; answer ApOk to go on, a negative code to stop.
using PageSink = std::function<int(RasterPage& page)>;

// Decodes the pages this format contributes (DCX: all; GIF: the first frame; ICO: the
// largest entry; PSD: the composite; PCD: the base image; EMF/WMF: rasterised at 300 dpi
// on white). Answers ApOk, or a negative code with `error` set.
int decodeOtherFormat(const QString& path, ImageFormat format, const PageSink& sink, QString& error);

// Bits per pixel of the first page as the file stores it; a negative code when unreadable.
int otherFormatBitsPerPixel(const QString& path, ImageFormat format);

} // namespace imaging
