#pragma once

// PNG files: a non-interlaced file without transparency is passed through (its IDAT data
// is already FlateDecode with PNG predictors); everything else is decoded by libpng.

#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/pdf/streamdata.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace imaging {

class StreamStore;
struct ExaminedSource;

struct PngInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    std::vector<uint8_t> palette;
    bool transparency = false; // tRNS present
    double dpiX = 0;
    double dpiY = 0;
    QByteArray icc;
    int orientation = 1; // from an eXIf chunk, as for JPEG's EXIF
    std::vector<SourceStreamData::Range> idat; // where the image data lies in the file
    uint64_t idatSize = 0;

    int channels() const;
    int storedBitsPerPixel() const { return bitDepth * channels(); }
};

// Walks the chunks, checking their CRCs. Answers an ApCode.
int parsePngChunks(const uint8_t* data, size_t size, PngInfo& info, QString& error);

// Decodes with libpng: palettes stay Indexed, 16 bits stay 16, alpha and tRNS become `alpha`.
int decodePng(const uint8_t* data, size_t size, const PngInfo& info, RasterPage& page, QString& error);

// Answers 1 (page added to `pages`) or an ApCode. `source` holds the file's bytes; a page
// that is decoded lets go of them before it is encoded.
int readPngPage(ExaminedSource& source, const CompressionChoice& choice, StreamStore& store,
                std::vector<EncodedPage>& pages, QString& error);

// From the file, or from its bytes already read.
int pngBitsPerPixel(const QString& path, QString& error);
int pngBitsPerPixel(const uint8_t* data, size_t size, const QString& path, QString& error);

} // namespace imaging
