#pragma once

// An image ImageMagick decoded, turned into a RasterPage in the smallest exact form:
// black-and-white pixels as 1-bit grey, a file's palette kept as Indexed, grey pixels as
// grey, the rest as RGB or CMYK; 16-bit samples stay 16-bit. The colour class comes from
// scanning the pixels, not from what the reader declared.

#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/formats/raster.h"

#include <QString>

namespace Magick {
class Image;
}

namespace imaging {

int magickToRaster(Magick::Image& image, const MagickHeader& header, RasterPage& page, QString& error);

} // namespace imaging
