#include "platform/imaging/formats/magickworkarounds.h"

#include "platform/imaging/formats/magickdecoder.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

// Byte by byte: callers check the size first.
uint8_t byteAt(const QByteArray& b, int i) { return static_cast<uint8_t>(b[i]); }
uint16_t le16(const QByteArray& b, int i) { return uint16_t(byteAt(b, i) | byteAt(b, i + 1) << 8); }
uint16_t be16(const QByteArray& b, int i) { return uint16_t(byteAt(b, i) << 8 | byteAt(b, i + 1)); }
uint32_t be32(const QByteArray& b, int i) { return uint32_t(be16(b, i)) << 16 | be16(b, i + 2); }

int luminance(const QByteArray& b, int i) { return 299 * byteAt(b, i) + 587 * byteAt(b, i + 1) + 114 * byteAt(b, i + 2); }

} // namespace

bool isMonochromePcx(const QByteArray& pcx) {
    return pcx.size() >= 128 && byteAt(pcx, 0) == 0x0A && byteAt(pcx, 3) == 1 && byteAt(pcx, 65) == 1;
}

int decodeMonochromePcx(const QByteArray& pcx, const MagickHeader& header, RasterPage& page, QString& error) {
    const int lineBytes = le16(pcx, 66);
    const int width = int(header.width), height = int(header.height);
    const int rowBytes = (width + 7) / 8;
    if (lineBytes < rowBytes) {
        error = QStringLiteral("PCX line shorter than its width");
        return ApCorrupt;
    }
    const bool rle = byteAt(pcx, 2) == 1;
    // Most files leave the palette black and black: then 0 is black and 1 white.
    const int lum0 = luminance(pcx, 16), lum1 = luminance(pcx, 19);
    const bool invert = lum0 > lum1;

    page = RasterPage();
    page.width = width;
    page.height = height;
    page.model = ColourModel::Gray;
    page.bitsPerComponent = 1;
    page.storedBitsPerPixel = 1;
    page.dpiX = le16(pcx, 12);
    page.dpiY = le16(pcx, 14);
    // The rows must be in the file before they are allocated: every byte when stored plainly,
    // at least two bytes per run of 63 when run-length encoded.
    const uint64_t total = uint64_t(lineBytes) * uint64_t(height);
    const uint64_t least = rle ? (total + 62) / 63 * 2 : total;
    if (uint64_t(pcx.size()) < 128 || uint64_t(pcx.size() - 128) < least) {
        error = QStringLiteral("PCX data cut short");
        return ApCorrupt;
    }
    page.pixels.reserve(size_t(rowBytes) * size_t(height));

    QByteArray line(lineBytes, '\0');
    qsizetype pos = 128;
    for (int y = 0; y < height; ++y) {
        for (int filled = 0; filled < lineBytes;) {
            if (pos >= pcx.size()) {
                error = QStringLiteral("PCX data cut short");
                return ApCorrupt;
            }
            uint8_t value = byteAt(pcx, int(pos++));
            int count = 1;
            if (rle && (value & 0xC0) == 0xC0) {
                count = value & 0x3F;
                if (pos >= pcx.size()) {
                    error = QStringLiteral("PCX data cut short");
                    return ApCorrupt;
                }
                value = byteAt(pcx, int(pos++));
            }
            // A run may cross into the next line; the format allows it, so does the decoder.
            while (count-- > 0 && filled < lineBytes)
                line[filled++] = char(value);
        }
        page.pixels.resize(size_t(y + 1) * size_t(rowBytes));
        uint8_t* out = page.pixels.data() + size_t(y) * size_t(rowBytes);
        std::memcpy(out, line.constData(), size_t(rowBytes));
        for (int i = 0; invert && i < rowBytes; ++i)
            out[i] = uint8_t(~out[i]);
        if (width % 8) // keep the padding bits clear
            out[rowBytes - 1] &= uint8_t(0xFF << (8 - width % 8));
    }
    return ApOk;
}

void fixBmpSizeField(QByteArray& bmp) {
    if (bmp.size() >= 6 && bmp.startsWith("BM"))
        qToLittleEndian<quint32>(quint32(bmp.size()), bmp.data() + 2);
}

bool isIndexedPsd(const QByteArray& psd) {
    return psd.size() >= 30 && psd.startsWith("8BPS") && be16(psd, 24) == 2;
}

int decodeIndexedPsd(const QByteArray& psd, const MagickHeader& header, RasterPage& page, QString& error) {
    const uint32_t colourData = be32(psd, 26);
    if (colourData != 768 || psd.size() < 30 + 768) {
        error = QStringLiteral("indexed PSD without a 256-colour table");
        return ApCorrupt;
    }
    // The same file as greyscale: header with mode 1, an empty colour-data section, the rest.
    QByteArray grey = psd.left(26);
    qToBigEndian<quint16>(1, grey.data() + 24);
    grey += QByteArray(4, '\0');
    grey += psd.mid(30 + 768);
    MagickHeader greyHeader = header;
    greyHeader.palette = false;
    MagickRead how;
    how.coder = "PSD";
    RasterPage indexes;
    const int rc = decodeMagickPage(grey, how, greyHeader, indexes, error);
    if (rc != ApOk)
        return rc;
    if (indexes.model != ColourModel::Gray || indexes.bitsPerComponent != 8) {
        // A page of indexes 0 and 255 only comes back as 1-bit; widen it again.
        if (indexes.model == ColourModel::Gray && indexes.bitsPerComponent == 1) {
            std::vector<uint8_t> wide(size_t(indexes.width) * size_t(indexes.height));
            const size_t rowBytes = indexes.rowBytes();
            for (int y = 0; y < indexes.height; ++y)
                for (int x = 0; x < indexes.width; ++x)
                    wide[size_t(y) * indexes.width + x] =
                        (indexes.pixels[y * rowBytes + x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
            indexes.pixels = std::move(wide);
            indexes.bitsPerComponent = 8;
        } else {
            error = QStringLiteral("indexed PSD gave no index plane");
            return ApCorrupt;
        }
    }
    page = std::move(indexes);
    page.model = ColourModel::Indexed;
    page.storedBitsPerPixel = 8;
    page.icc.clear();
    // Only the entries the pixels use: most indexed files fill a few of the 256.
    const int used = int(*std::max_element(page.pixels.begin(), page.pixels.end())) + 1;
    page.palette.resize(size_t(used) * 3);
    for (int i = 0; i < used; ++i) {
        page.palette[size_t(i) * 3] = byteAt(psd, 30 + i);
        page.palette[size_t(i) * 3 + 1] = byteAt(psd, 30 + 256 + i);
        page.palette[size_t(i) * 3 + 2] = byteAt(psd, 30 + 512 + i);
    }
    return ApOk;
}

} // namespace imaging
