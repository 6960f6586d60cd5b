#pragma once

// Two variants the ImageMagick 6.9.11 of Debian 12 gets wrong, handled here instead:
// - 1-bit PCX (fax pages, and so most DCX files): it reads a set bit as black whatever the
//   header palette says, which turns ordinary fax pages into negatives. We decode these
//   ourselves, following the palette (0 black, 1 white when the palette says nothing).
// - Indexed PSD: it refuses them ("improper image header"). We hand it the index plane as
//   a greyscale PSD and put the palette back ourselves.
// - BMP whose file-size field disagrees with the file (too large, or trailing bytes after
//   the pixels, both common): it refuses them. The field says nothing we need, so we set
//   it to the real size before handing the file over.

#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/formats/raster.h"

#include <QByteArray>
#include <QString>

namespace imaging {

bool isMonochromePcx(const QByteArray& pcx);
int decodeMonochromePcx(const QByteArray& pcx, const MagickHeader& header, RasterPage& page, QString& error);

void fixBmpSizeField(QByteArray& bmp);

bool isIndexedPsd(const QByteArray& psd);
int decodeIndexedPsd(const QByteArray& psd, const MagickHeader& header, RasterPage& page, QString& error);

} // namespace imaging
