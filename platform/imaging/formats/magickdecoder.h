#pragma once

// One page decoded by ImageMagick from bytes in memory. We always hand ImageMagick a blob
// and name the coder ourselves: the format was recognised by content, and a file name is
// never parsed for "fmt:" prefixes, "[n]" frame ranges or "@" lists.

#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/formats/raster.h"

#include <QByteArray>
#include <QString>

namespace imaging {

struct MagickRead {
    const char* coder = "";
    bool firstFrameOnly = false; // GIF: the first frame of an animation
};

// Pings `data` (dimensions only), checks the library's limits with the header's stored
// depth, then decodes it into `page`. Answers ApOk or a negative code with `error` set.
int decodeMagickPage(QByteArray data, const MagickRead& how, const MagickHeader& header, RasterPage& page,
                     QString& error);

} // namespace imaging
