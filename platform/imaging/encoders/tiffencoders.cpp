// The encoders borrowed from libtiff: rows written one by one into the single strip of an
// in-memory TIFF, its raw bytes taken back.
#include "platform/imaging/encoders/encoders.h"
#include "platform/imaging/formats/tiffhandle.h"

namespace imaging {

namespace {

struct StripLayout {
    uint32_t width;
    uint32_t height;
    uint16_t bitsPerSample;
    uint16_t compression;
    uint16_t photometric;
};

// Encoded data is handed over from libtiff's raw buffer at this size, so the encoded strip
// exists once (in the memory file) rather than twice.
constexpr tmsize_t kRawBuffer = 1 << 20;

bool encodeStrip(const StripLayout& layout, const RowSource& rows, size_t expectedSize, std::vector<uint8_t>& out,
                 QString& error, int group3Options = -1) {
    TiffMemory memory;
    memory.bytes.reserve(expectedSize + 4096); // address space only: nothing is copied as it grows
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
    if (!TIFFWriteBufferSetup(t, nullptr, kRawBuffer)) {
        error = QStringLiteral("cannot start the encoder: %1").arg(tiff.error());
        return false;
    }
    for (uint32_t y = 0; y < layout.height; ++y) {
        if (TIFFWriteScanline(t, const_cast<uint8_t*>(rows(y)), y, 0) < 0) {
            error = QStringLiteral("encoder failed: %1").arg(tiff.error());
            return false;
        }
    }
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    if (!TIFFFlushData(t) || !TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets || !counts ||
        offsets[0] > memory.bytes.size() || counts[0] > memory.bytes.size() - offsets[0]) {
        error = QStringLiteral("encoder produced no strip");
        return false;
    }
    // The strip follows the 8-byte header: moved down in place, not copied out.
    const size_t offset = size_t(offsets[0]), count = size_t(counts[0]);
    tiff.close();
    memory.bytes.erase(memory.bytes.begin(), memory.bytes.begin() + ptrdiff_t(offset));
    memory.bytes.resize(count);
    out.swap(memory.bytes);
    return true;
}

} // namespace

bool encodeLzw(const RowSource& rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
               QString& error) {
    const StripLayout layout{uint32_t(rowBytes), uint32_t(rowCount), 8, COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK};
    return encodeStrip(layout, rows, rowBytes * rowCount / 2, out, error);
}

bool encodeRunLength(const RowSource& rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
                     QString& error) {
    const StripLayout layout{uint32_t(rowBytes), uint32_t(rowCount), 8, COMPRESSION_PACKBITS,
                             PHOTOMETRIC_MINISBLACK};
    if (!encodeStrip(layout, rows, rowBytes * rowCount + rowBytes * rowCount / 128, out, error))
        return false;
    out.push_back(128); // EOD: readers tolerate its absence, the format requires it
    return true;
}

bool encodeCcitt(const uint8_t* rows, int width, int height, bool group4, std::vector<uint8_t>& out,
                 QString& error) {
    const StripLayout layout{uint32_t(width), uint32_t(height), 1,
                             uint16_t(group4 ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3),
                             PHOTOMETRIC_MINISWHITE};
    const size_t rowBytes = (size_t(width) + 7) / 8;
    return encodeStrip(
        layout, [&](size_t y) { return rows + y * rowBytes; }, rowBytes * size_t(height) / 8, out, error,
        group4 ? -1 : 0);
}

} // namespace imaging
