#pragma once

// Images into TIFF: every page of the image decoded by our imaging readers and written with
// the TIFF Compression value asked for, resolution and orientation kept.

#include "platform/fileio/outputset.h"
#include "platform/imaging/formats/raster.h"

#include <QString>

namespace tiffpages {

class TiffOutput;

// `compression` is a TIFF Compression value: 1 none, 3 CCITT G3, 4 CCITT G4, 5 LZW, 7 JPEG
// (quality 75), 8 Deflate, 32773 PackBits, or 0 for G4 on bilevel pages and LZW on the rest.
// A value that does not fit a page (G3/G4 on a page that is not bilevel, JPEG on a bilevel
// or palette page) fails the call, as does any other value (5).
bool convertImageToTiff(const QString& input, const QString& output, int compression, fileio::Failure& failure);

// True for the values above.
bool writableTiffCompression(int compression);

// Writes `page` as the next page of `out` with `compression` (as above; the page is consumed).
// `source` and `number` name the page in a failure.
bool writeRasterPage(TiffOutput& out, imaging::RasterPage& page, int orientation, int compression,
                     const QString& source, int number, fileio::Failure& failure);

} // namespace tiffpages
