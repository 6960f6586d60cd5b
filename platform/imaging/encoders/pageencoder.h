#pragma once

// Turns a decoded page into the encoded image of a PDF page with the filter its
// compression asks for (or the default), and its transparency into a soft mask.

#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/formats/raster.h"

#include <QString>

namespace imaging {

class StreamStore;

// `page` is consumed (its buffers are reused or released). Answers an ApCode.
int encodeRasterPage(RasterPage& page, Compression compression, int orientation, StreamStore& store,
                     EncodedPage& out, QString& error);

// The encoders behind the compression table's entries (see PageEncoder).
int encodeLzwPage(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);
int encodeZipPage(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);
int encodePackbitsPage(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);
int encodeJpegPage(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);
int encodeG3Page(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);
int encodeG4Page(RasterPage& page, ImageStream& stream, std::vector<uint8_t>& out, QString& error);

// Helpers shared with the readers.
bool isOpaque(const std::vector<uint8_t>& alpha);
// Palette entries all grey (r == g == b).
bool paletteIsGrey(const std::vector<uint8_t>& palette);
// Replaces an Indexed page by RGB, or by grey when every palette entry is grey.
void expandPalette(RasterPage& page);
// Brings a page to 8 bits per component (16 keeps its high byte; 1, 2, 4 are scaled).
void convertTo8Bit(RasterPage& page);
// Stores an 8-bit page in the smallest model its pixels need, the way pages decoded by
// ImageMagick are classified by their pixels rather than by the file's declared type: RGB
// whose pixels are all grey becomes grey, and an opaque grey or palette page of nothing but
// black and white becomes 1-bit.
void narrowModel(RasterPage& page);

} // namespace imaging
