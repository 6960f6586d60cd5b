#pragma once

// What the header of a GIF, PSD, BMP, DCX, PCX, ICO, PNM, PCD or TGA file says about its
// first page, read without decoding any pixels. ImageMagick decodes these formats, but the
// stored depth (code 211) and whether colours live in a palette come from the header:
// ImageMagick reports its own working depth, not the file's.

#include "platform/imaging/formats/raster.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class QIODevice;

namespace imaging {

struct MagickHeader {
    int64_t width = 0;
    int64_t height = 0;
    int bitsPerPixel = 0;   // the answer of code 211
    bool palette = false;   // colours are indexes into a colour table
    int indexBits = 0;      // palette index bits rounded up to 1, 2, 4 or 8
    bool sixteenBit = false; // samples of 16 bits (kept as 16 in the page)
    // Where the first page's own data starts and how long it is; DCX pages and the
    // chosen ICO entry are cut out and handed to the decoder on their own.
    int64_t pageOffset = 0;
    int64_t pageLength = -1; // -1: to the end of the file
    QByteArray icoEntry;     // ICO: the chosen 16-byte directory entry

    // Bytes of the page once decoded at its stored depth, for the size limit.
    int64_t decodedBytes() const {
        if (width > kMaxSide || height > kMaxSide)
            return INT64_MAX;
        return (width * bitsPerPixel + 7) / 8 * height;
    }
};

// Reads the header of `device` (positioned anywhere; seeks as needed). Answers ApOk,
// ApCorrupt when the header is not what the format promises, ApUnsupported for a variant
// we do not read.
int readMagickHeader(QIODevice& device, ImageFormat format, MagickHeader& header, QString& error);

// The page offsets of a DCX file, in page order (at most 1023 by the format).
int readDcxOffsets(QIODevice& device, std::vector<int64_t>& offsets, QString& error);

// True when width and height are within the library's limits and the decoded page fits.
bool withinLimits(int64_t width, int64_t height, int64_t decodedBytes);

} // namespace imaging
