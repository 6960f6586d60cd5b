#pragma once

// TIFF through libtiff: every page of the file, single-strip Group 4 pages passed through
// as they are stored, the rest decoded and encoded by their own colour class.

#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/formats/raster.h"

#include <QString>
#include <tiffio.h>
#include <vector>

namespace imaging {

class StreamStore;

// Encodes every page of the TIFF at `path` into `pages` (all of them or, on failure, an
// ApCode and whatever was produced is to be dropped).
int readTiffPages(const QString& path, const CompressionChoice& choice, StreamStore& store,
                  std::vector<EncodedPage>& pages, QString& error);

// Bits per pixel of the first page as stored.
int tiffBitsPerPixel(const QString& path, QString& error);

class TiffHandle;

// Decodes the current directory of `tiff` into `page` (stored row order: orientation is
// left to the page placement). Answers an ApCode.
int decodeTiffDirectory(TiffHandle& tiff, RasterPage& page, QString& error);

} // namespace imaging
