// The encoders borrowed from libtiff: one strip written to an in-memory TIFF, its raw
// bytes taken back.
#include "platform/imaging/encoders.h"
#include "platform/imaging/tiffhandle.h"

namespace imaging {

namespace {

struct StripLayout {
    uint32_t width;
    uint32_t height;
    uint16_t bitsPerSample;
    uint16_t compression;
    uint16_t photometric;
};

bool encodeStrip(const StripLayout& layout, const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                 QString& error, int group3Options = -1) {
    TiffMemory memory;
    TiffHandle tiff;
    if (!tiff.openMemory(&memory, "w")) {
        error = QStringLiteral("cannot start the encoder: %1").arg(tiff.error());
        return false;
    }
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, layout.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, layout.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(t, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, layout.height);
    if (group3Options >= 0) {
        TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, uint32_t(group3Options));
        TIFFSetField(t, TIFFTAG_FAXMODE, FAXMODE_NORTC);
    }
    if (TIFFWriteEncodedStrip(t, 0, const_cast<uint8_t*>(data), tmsize_t(size)) < 0) {
        error = QStringLiteral("encoder failed: %1").arg(tiff.error());
        return false;
    }
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    if (!TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets || !counts ||
        offsets[0] + counts[0] > memory.bytes.size()) {
        error = QStringLiteral("encoder produced no strip");
        return false;
    }
    out.assign(memory.bytes.begin() + ptrdiff_t(offsets[0]),
               memory.bytes.begin() + ptrdiff_t(offsets[0] + counts[0]));
    return true;
}

} // namespace

bool encodeLzw(const uint8_t* rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
               QString& error) {
    const StripLayout layout{uint32_t(rowBytes), uint32_t(rowCount), 8, COMPRESSION_LZW,
                             PHOTOMETRIC_MINISBLACK};
    return encodeStrip(layout, rows, rowBytes * rowCount, out, error);
}

bool encodeRunLength(const uint8_t* rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
                     QString& error) {
    const StripLayout layout{uint32_t(rowBytes), uint32_t(rowCount), 8, COMPRESSION_PACKBITS,
                             PHOTOMETRIC_MINISBLACK};
    if (!encodeStrip(layout, rows, rowBytes * rowCount, out, error)) return false;
    out.push_back(128); // EOD: readers tolerate its absence, the format requires it
    return true;
}

bool encodeCcitt(const uint8_t* rows, int width, int height, bool group4, std::vector<uint8_t>& out,
                 QString& error) {
    const StripLayout layout{uint32_t(width), uint32_t(height), 1,
                             uint16_t(group4 ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3),
                             PHOTOMETRIC_MINISWHITE};
    const size_t size = (size_t(width) + 7) / 8 * size_t(height);
    return encodeStrip(layout, rows, size, out, error, group4 ? -1 : 0);
}

} // namespace imaging
