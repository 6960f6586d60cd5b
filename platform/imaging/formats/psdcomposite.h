#pragma once

// The composite image of a PSD (or PSB) file: where it lies, whether the file really holds
// it, and, for RGB files with a transparency channel, the composite decoded by us.
// ImageMagick (6.9.11) reads such composites wrongly (colour bands, for the files it writes
// itself among others); a page with transparency is flattened onto white, as ImageMagick
// does with the composites it reads well.

#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/formats/raster.h"

#include <QByteArray>
#include <QString>

namespace imaging {

struct PsdComposite {
    int version = 1; // 2: PSB, with wider lengths
    int channels = 0;
    int64_t width = 0;
    int64_t height = 0;
    int depth = 0;
    int mode = 0;
    bool mergedAlpha = false; // a negative layer count: the first extra channel is the composite's transparency
    int compression = 0;      // 0 raw, 1 PackBits rows, 2 and 3 deflated
    qsizetype resources = 0;  // image resources section (after its length)
    qsizetype resourcesLength = 0;
    qsizetype data = 0; // the composite's data (RLE: its row lengths first)
};

// Walks the file's sections to the composite and checks that the file holds it: raw planes
// in full, or the row lengths and every row they promise (a PackBits row needs at least two
// bytes per 128); deflated data cannot be checked without inflating it. Answers ApOk,
// ApCorrupt or ApUnsupported with `error` set.
int locatePsdComposite(const QByteArray& psd, PsdComposite& composite, QString& error);

// Whether we decode this composite ourselves: RGB with extra channels, 8 or 16 bits.
bool decodesPsdComposite(const PsdComposite& composite);

int decodePsdComposite(const QByteArray& psd, const PsdComposite& composite, const MagickHeader& header,
                       RasterPage& page, QString& error);

} // namespace imaging
