#pragma once

// TGA pages decoded by us rather than by ImageMagick, whose reader (6.9.11) ignores the
// image origin and so turns the common bottom-up files upside down. Every type is read:
// colour-mapped, true colour and grey, raw or run-length encoded, in any of the four
// origins; the data a page needs is checked against the file before the page is allocated.

#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/formats/raster.h"

#include <QByteArray>
#include <QString>

namespace imaging {

// `header` is what readMagickHeader found (size within the limits). Answers ApOk, or
// ApCorrupt / ApUnsupported with `error` set.
int decodeTga(const QByteArray& tga, const MagickHeader& header, RasterPage& page, QString& error);

} // namespace imaging
