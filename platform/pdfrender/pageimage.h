#pragma once

// One rendered page as an image file of the chosen type, written as its bands come.

#include "platform/fileio/outputset.h"
#include "platform/pdfrender/pdftoimage.h"

#include <QString>

namespace tiffpages {
class TiffOutput;
}

namespace pdfrender {

class BandedPage;

// "bmp", "jpg", "png", "gif", "tif", "ppm"; "" for an unknown type.
QString extensionOf(int type);

// A GIF is the one type written whole (ImageMagick chooses its 256 colours from the whole
// page, at some 16 bytes a pixel), so its pages are held to 20 million pixels: 350 MB.
constexpr qint64 kMaxGifPixels = 20'000'000;

// Writes `page` to `target` as `type` (not a multi-page TIFF); with `outputs` the file waits
// there, out of place, for the others of its call.
bool writePageImage(BandedPage& page, int type, int tiffCompression, const QString& target, fileio::Failure& failure,
                    fileio::OutputSet* outputs = nullptr);

// Adds `page` as the next page of a TIFF. `source` and `number` name the page in a failure.
bool addTiffPage(tiffpages::TiffOutput& out, BandedPage& page, int tiffCompression, const QString& source, int number,
                 fileio::Failure& failure);

} // namespace pdfrender
