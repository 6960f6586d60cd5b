#pragma once

// Turns a decoded page into the encoded image of a PDF page with the filter its
// compression asks for (or the default), and its transparency into a soft mask.

#include "platform/imaging/compression.h"
#include "platform/imaging/encodedimage.h"
#include "platform/imaging/raster.h"

#include <QString>

namespace imaging {

class StreamStore;

// `page` is consumed (its buffers are reused or released). Answers an ApCode.
int encodeRasterPage(RasterPage& page, Compression compression, int orientation, StreamStore& store,
                     EncodedPage& out, QString& error);

// Helpers shared with the readers.
bool isOpaque(const std::vector<uint8_t>& alpha);
// Palette entries all grey (r == g == b).
bool paletteIsGrey(const std::vector<uint8_t>& palette);

} // namespace imaging
