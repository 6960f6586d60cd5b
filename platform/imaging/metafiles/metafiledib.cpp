#include "platform/imaging/metafiles/metafiledib.h"

#include "platform/imaging/formats/raster.h"

#include <algorithm>
#include <bit>

namespace imaging::metafile {

namespace {

uint32_t le16(const uchar* p) {
    return uint32_t(p[0] | p[1] << 8);
}
uint32_t le32(const uchar* p) {
    return le16(p) | le16(p + 2) << 16;
}

// The standard colours stand in for palette indices: the picture's palette is not kept.
constexpr QRgb kStandard[16] = {0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080,
                                0xff008080, 0xffc0c0c0, 0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
                                0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};

int channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask >> shift);
    const uint32_t max = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    return int(uint64_t((value & mask) >> shift) * 255 / max);
}

// Run-length encoded indices, one byte a pixel, bottom row first as stored. Pixels the
// runs skip stay 0. False for runs that leave the bitmap or the data.
bool decodeRle(const Dib& dib, std::vector<uint8_t>& indices) {
    const int64_t w = dib.width, h = dib.height;
    indices.assign(size_t(w * h), 0);
    const uchar* p = dib.data;
    const uchar* end = dib.data + dib.dataBytes;
    const bool four = dib.compression == 2;
    int64_t x = 0, y = 0;
    auto put = [&](int v) {
        if (x < w && y < h) indices[size_t(y * w + x)] = uint8_t(v);
        ++x;
    };
    while (end - p >= 2 && y < h) {
        const int count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < w; ++i)
                put(four ? (i % 2 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return true;
        } else if (value == 2) { // move right and up
            if (end - p < 2) return false;
            x += p[0];
            y += p[1];
            p += 2;
        } else { // `value` pixels as they are, padded to a whole word
            const int bytes = four ? (value + 1) / 2 : value;
            if (end - p < bytes) return false;
            for (int i = 0; i < value; ++i)
                put(four ? (i % 2 ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
            p += (bytes + 1) & ~1;
        }
    }
    return true;
}

} // namespace

bool readDib(const char* bytes, qsizetype size, bool paletteIndices, Dib& dib, QString& error) {
    return readDib(bytes, size, nullptr, 0, paletteIndices, dib, error);
}

bool readDib(const char* header, qsizetype headerSize, const char* bits, qsizetype bitsSize, bool paletteIndices,
             Dib& dib, QString& error) {
    const auto* b = reinterpret_cast<const uchar*>(header);
    const qsizetype size = headerSize;
    dib = Dib();
    if (size < 12) {
        error = QStringLiteral("bitmap header cut short");
        return false;
    }
    const uint32_t headerBytes = le32(b);
    int64_t width, height;
    uint32_t coloursUsed = 0;
    bool core = false;
    if (headerBytes == 12) {
        core = true;
        width = int16_t(le16(b + 4));
        height = int16_t(le16(b + 6));
        dib.bits = int(le16(b + 10));
    } else if (headerBytes >= 40 && headerBytes <= uint32_t(size)) {
        width = int32_t(le32(b + 4));
        height = int32_t(le32(b + 8));
        dib.bits = int(le16(b + 14));
        dib.compression = int(le32(b + 16));
        coloursUsed = le32(b + 32);
    } else {
        error = QStringLiteral("bitmap header of an unknown size");
        return false;
    }
    dib.bottomUp = height > 0;
    height = height < 0 ? -height : height;
    const bool rle = (dib.compression == 1 && dib.bits == 8) || (dib.compression == 2 && dib.bits == 4);
    const bool plain = dib.compression == 0 || (dib.compression == 3 && (dib.bits == 16 || dib.bits == 32));
    if (!rle && !plain) {
        error = QStringLiteral("bitmap compression %1 at %2 bits is not drawn")
                    .arg(dib.compression)
                    .arg(dib.bits);
        return false;
    }
    if (dib.bits != 1 && dib.bits != 4 && dib.bits != 8 && dib.bits != 16 && dib.bits != 24 &&
        dib.bits != 32) {
        error = QStringLiteral("bitmap of %1 bits a pixel").arg(dib.bits);
        return false;
    }
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        error = QStringLiteral("bitmap of %1 x %2 pixels").arg(width).arg(height);
        return false;
    }
    dib.width = int(width);
    dib.height = int(height);
    qsizetype at = qsizetype(headerBytes);
    if (dib.compression == 3) {
        // After a short header, or inside a longer one.
        if (size < 52 || (headerBytes > 40 && headerBytes < 52)) {
            error = QStringLiteral("bitmap masks cut short");
            return false;
        }
        if (headerBytes == 40) at += 12;
        for (int i = 0; i < 3; ++i)
            dib.masks[i] = le32(b + 40 + 4 * i);
    } else if (dib.bits == 32) {
        dib.masks[0] = 0xFF0000;
        dib.masks[1] = 0xFF00;
        dib.masks[2] = 0xFF;
    }
    // The colour table: what the header says it holds, but never more entries than the
    // depth can index.
    const uint32_t maxColours = dib.bits <= 8 ? 1u << dib.bits : 0;
    const uint32_t entries = dib.bits <= 8 ? (coloursUsed ? coloursUsed : maxColours) : coloursUsed;
    const int entryBytes = paletteIndices ? 2 : core ? 3 : 4;
    if (entries > 65536 || size - at < qsizetype(entries) * entryBytes) {
        error = QStringLiteral("bitmap colour table cut short");
        return false;
    }
    for (uint32_t i = 0; i < std::min(entries, maxColours); ++i) {
        const uchar* e = b + at + qsizetype(i) * entryBytes;
        dib.colours.push_back(paletteIndices ? kStandard[le16(e) % 16] : qRgb(e[2], e[1], e[0]));
    }
    at += qsizetype(entries) * entryBytes;
    dib.data = bits ? reinterpret_cast<const uchar*>(bits) : b + at;
    dib.dataBytes = bits ? bitsSize : size - at;
    dib.stride = qsizetype((int64_t(dib.width) * dib.bits + 31) / 32 * 4);
    if (!rle && int64_t(dib.stride) * dib.height > dib.dataBytes) {
        error = QStringLiteral("bitmap of %1 x %2 pixels holds only %3 bytes")
                    .arg(dib.width)
                    .arg(dib.height)
                    .arg(dib.dataBytes);
        return false;
    }
    return true;
}

DibSampler::DibSampler(const Dib& dib, const QRect& source, QSize size, qint64 maxPixels, DibAlpha alpha)
    : m_dib(dib), m_from(source & QRect(0, 0, dib.width, dib.height)), m_size(size.boundedTo(m_from.size())),
      m_alpha(alpha) {
    if (m_alpha.kind == DibAlpha::PerPixel && dib.bits != 32) m_alpha.kind = DibAlpha::Opaque;
    if (m_from.isEmpty() || m_size.isEmpty() || qint64(m_size.width()) * m_size.height() > maxPixels) {
        m_size = QSize();
        return;
    }
    if (dib.compression == 1 || dib.compression == 2) { // the runs are decoded once, whole
        if (qint64(dib.width) * dib.height > maxPixels || !decodeRle(dib, m_indices)) {
            m_size = QSize();
            return;
        }
    }
    m_columns.resize(size_t(m_size.width()));
    for (int tx = 0; tx < m_size.width(); ++tx)
        m_columns[size_t(tx)] =
            m_from.x() + int((int64_t(tx) * 2 + 1) * m_from.width() / (2 * int64_t(m_size.width())));
}

void DibSampler::sampleRow(const uchar* row, QRgb* out) const {
    const Dib& dib = m_dib;
    const int colours = int(dib.colours.size());
    auto colour = [&](uint32_t i) { return int(i) < colours ? dib.colours[i] : QRgb(0xff000000); };
    for (int tx = 0; tx < m_size.width(); ++tx) {
        const int sx = m_columns[size_t(tx)];
        switch (dib.bits) {
        case 1:
            out[tx] = colour(row[sx >> 3] >> (7 - (sx & 7)) & 1);
            break;
        case 4:
            out[tx] = colour(sx & 1 ? row[sx >> 1] & 0x0F : row[sx >> 1] >> 4);
            break;
        case 8:
            out[tx] = colour(row[sx]);
            break;
        case 16: {
            const uint32_t v = le16(row + 2 * qsizetype(sx));
            out[tx] = qRgb(channel(v, dib.masks[0]), channel(v, dib.masks[1]), channel(v, dib.masks[2]));
            break;
        }
        case 24: {
            const uchar* p = row + 3 * qsizetype(sx);
            out[tx] = qRgb(p[2], p[1], p[0]);
            break;
        }
        default: {
            const uint32_t v = le32(row + 4 * qsizetype(sx));
            out[tx] = qRgb(channel(v, dib.masks[0]), channel(v, dib.masks[1]), channel(v, dib.masks[2]));
            if (m_alpha.kind == DibAlpha::PerPixel) { // premultiplied already: kept so, within range
                const int a = int(v >> 24);
                out[tx] = qRgba(std::min(qRed(out[tx]), a), std::min(qGreen(out[tx]), a),
                                std::min(qBlue(out[tx]), a), a);
            }
        }
        }
    }
}

QImage DibSampler::rows(int first, int count) const {
    count = std::min(count, m_size.height() - first);
    if (!isValid() || first < 0 || count <= 0) return QImage();
    QImage image(m_size.width(), count,
                 m_alpha.kind == DibAlpha::Opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    const Dib& dib = m_dib;
    const int colours = int(dib.colours.size());
    auto colour = [&](uint32_t i) { return int(i) < colours ? dib.colours[i] : QRgb(0xff000000); };
    for (int y = 0; y < count; ++y) {
        const int ty = first + y;
        const int sy =
            m_from.y() + int((int64_t(ty) * 2 + 1) * m_from.height() / (2 * int64_t(m_size.height())));
        const int stored = dib.bottomUp ? dib.height - 1 - sy : sy;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (!m_indices.empty()) {
            const uint8_t* row = m_indices.data() + size_t(stored) * size_t(dib.width);
            for (int tx = 0; tx < m_size.width(); ++tx)
                out[tx] = colour(row[m_columns[size_t(tx)]]);
        } else {
            sampleRow(dib.data + qsizetype(stored) * dib.stride, out);
        }
        if (m_alpha.kind == DibAlpha::ColourKey) {
            const QRgb key = m_alpha.key | 0xff000000;
            for (int tx = 0; tx < m_size.width(); ++tx)
                if ((out[tx] | 0xff000000) == key) out[tx] = 0;
        }
    }
    return image;
}

} // namespace imaging::metafile
