#pragma once

// libjpeg-turbo behind a quiet error manager: decoding a JPEG that cannot be passed
// through, and encoding DCTDecode data.

#include "platform/imaging/encoders/encoders.h"
#include "platform/imaging/formats/raster.h"

#include <QString>
#include <vector>

namespace imaging {

struct JpegInfo;

// Decodes the image held in `data` into `page` (grey, RGB or CMYK, 8 bits; Adobe-inverted
// CMYK is turned the right way round). Answers an ApCode.
int decodeJpeg(const uint8_t* data, size_t size, const JpegInfo& info, RasterPage& page, QString& error);

// Checks what libjpeg checks before it decodes a pixel: the frame header, every table
// (DHT, DQT, DRI, also those between scans) and every scan header, each scan set up as the
// decoder would set it up. Only fatal errors count; damage libjpeg merely warns about is
// accepted. No entropy-coded data is decoded. Answers ApOk or ApCorrupt with `error` set.
int checkJpegStructure(const uint8_t* data, const JpegInfo& info, QString& error);

// Baseline JPEG of 8-bit grey (1 component) or RGB (3 components, 4:2:0) rows.
bool encodeDct(const RowSource& rows, int width, int height, int components, int quality,
               std::vector<uint8_t>& out, QString& error);

} // namespace imaging
