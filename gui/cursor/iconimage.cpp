#include "gui/cursor/iconimage.h"

#include <QBuffer>
#include <QImageReader>
#include <QList>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMaxSide = 256; // the largest picture an icon directory can describe

quint16 le16(QByteArrayView d, qsizetype at) {
    return qFromLittleEndian<quint16>(d.data() + at);
}
quint32 le32(QByteArrayView d, qsizetype at) {
    return qFromLittleEndian<quint32>(d.data() + at);
}

// PNG-compressed entries (used for large icons).
std::optional<QImage> readPng(QByteArrayView data) {
    QByteArray bytes = data.toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxSide || size.height() > kMaxSide) return std::nullopt;
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// A device-independent bitmap as icons store it: a colour picture of twice the
// height's first half, followed by a 1-bit AND mask.
std::optional<IconImage> readDib(QByteArrayView d, const QHash<QRgb, QRgb>& paletteMap) {
    if (d.size() < 40) return std::nullopt;
    const quint32 headerSize = le32(d, 0);
    const qint32 width = static_cast<qint32>(le32(d, 4));
    const qint32 height2 = static_cast<qint32>(le32(d, 8));
    const int bpp = le16(d, 14);
    const quint32 compression = le32(d, 16);
    const quint32 colorsUsed = le32(d, 32);
    if (headerSize < 40 || headerSize > static_cast<quint32>(d.size())) return std::nullopt;
    if (width < 1 || width > kMaxSide || height2 < 2 || height2 / 2 > kMaxSide) return std::nullopt;
    const int height = height2 / 2;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
    const bool bitfields = compression == 3 && bpp == 32;
    if (compression != 0 && !bitfields) return std::nullopt;
    if (bpp <= 8 ? colorsUsed > (1u << bpp) : colorsUsed > 256) return std::nullopt;

    qint64 at = headerSize + (bitfields && headerSize == 40 ? 12 : 0);
    const int paletteSize = bpp <= 8 ? (colorsUsed ? static_cast<int>(colorsUsed) : 1 << bpp) : 0;
    const qint64 skippedTable = bpp > 8 ? colorsUsed * 4 : 0;
    if (at + paletteSize * 4 + skippedTable > d.size()) return std::nullopt;
    QList<QRgb> palette(1 << (bpp <= 8 ? bpp : 0), qRgb(0, 0, 0));
    for (int i = 0; i < paletteSize; ++i) {
        const QRgb c = qRgb(static_cast<uchar>(d[at + 4 * i + 2]), static_cast<uchar>(d[at + 4 * i + 1]),
                            static_cast<uchar>(d[at + 4 * i]));
        palette[i] = paletteMap.value(c, c);
    }
    at += paletteSize * 4 + skippedTable;

    const qint64 xorStride = ((static_cast<qint64>(width) * bpp + 31) / 32) * 4;
    const qint64 andStride = ((width + 31) / 32) * 4;
    const qint64 xorAt = at;
    const qint64 andAt = at + xorStride * height;
    if (andAt > d.size()) return std::nullopt;
    // 32-bit pictures carry their transparency in alpha; some writers drop the mask.
    const bool haveMask = andAt + andStride * height <= d.size();
    if (!haveMask && bpp != 32) return std::nullopt;

    bool anyAlpha = false;
    if (bpp == 32)
        for (qint64 i = 0; i < static_cast<qint64>(width) * height && !anyAlpha; ++i)
            anyAlpha = d[xorAt + (i / width) * xorStride + (i % width) * 4 + 3] != 0;

    IconImage out;
    out.image = QImage(width, height, QImage::Format_ARGB32);
    QImage invert(width, height, QImage::Format_RGB32);
    invert.fill(Qt::black);
    bool anyInvert = false;
    for (int y = 0; y < height; ++y) {
        const qint64 row = xorAt + static_cast<qint64>(height - 1 - y) * xorStride; // bottom-up
        const qint64 maskRow = andAt + static_cast<qint64>(height - 1 - y) * andStride;
        auto* line = reinterpret_cast<QRgb*>(out.image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            QRgb c;
            switch (bpp) {
            case 1:
                c = palette[(static_cast<uchar>(d[row + x / 8]) >> (7 - x % 8)) & 1];
                break;
            case 4:
                c = palette[(static_cast<uchar>(d[row + x / 2]) >> (x % 2 ? 0 : 4)) & 15];
                break;
            case 8:
                c = palette[static_cast<uchar>(d[row + x])];
                break;
            case 24:
                c = qRgb(static_cast<uchar>(d[row + 3 * x + 2]), static_cast<uchar>(d[row + 3 * x + 1]),
                         static_cast<uchar>(d[row + 3 * x]));
                break;
            default:
                c = qRgba(static_cast<uchar>(d[row + 4 * x + 2]), static_cast<uchar>(d[row + 4 * x + 1]),
                          static_cast<uchar>(d[row + 4 * x]), static_cast<uchar>(d[row + 4 * x + 3]));
            }
            if (anyAlpha) {
                line[x] = c;
                continue;
            }
            const bool masked = haveMask && ((static_cast<uchar>(d[maskRow + x / 8]) >> (7 - x % 8)) & 1);
            if (!masked) {
                line[x] = c | 0xff000000u;
            } else {
                line[x] = 0;
                if ((c & 0xffffffu) != 0) {
                    invert.setPixel(x, y, c | 0xff000000u);
                    anyInvert = true;
                }
            }
        }
    }
    out.image = out.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (anyInvert) out.invert = invert;
    return out;
}

} // namespace

std::optional<IconImage> IconImage::read(QByteArrayView d, int preferredWidth,
                                         const QHash<QRgb, QRgb>& paletteMap) {
    if (d.size() < 6 || le16(d, 0) != 0) return std::nullopt;
    const int type = le16(d, 2); // 1 icon, 2 cursor
    const int count = le16(d, 4);
    if ((type != 1 && type != 2) || count < 1 || 6 + 16LL * count > d.size()) return std::nullopt;

    struct Entry {
        int width, depth;
        QPoint hotSpot;
        qint64 offset, size;
    };
    QList<Entry> entries;
    for (int i = 0; i < count; ++i) {
        const qint64 e = 6 + 16LL * i;
        const int w = static_cast<uchar>(d[e]) ? static_cast<uchar>(d[e]) : 256;
        const int h = static_cast<uchar>(d[e + 1]) ? static_cast<uchar>(d[e + 1]) : 256;
        const qint64 size = le32(d, e + 8);
        const qint64 offset = le32(d, e + 12);
        if (offset < 6 + 16LL * count || size < 1 || offset + size > d.size())
            continue; // an entry pointing outside the file is skipped, not followed
        // Cursors keep their hot spot where icons keep planes and depth; an icon used
        // as a cursor is held by its middle.
        const QPoint hot = type == 2 ? QPoint(le16(d, e + 4), le16(d, e + 6)) : QPoint(w / 2, h / 2);
        const int depth = type == 1 ? le16(d, e + 6) : static_cast<uchar>(d[e + 2]);
        entries.append({w, depth, hot, offset, size});
    }
    // Nearest width first, then the richer colour depth.
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        const int da = std::abs(a.width - preferredWidth), db = std::abs(b.width - preferredWidth);
        return da != db ? da < db : a.depth > b.depth;
    });
    // A few fallbacks are enough; a directory of thousands of broken entries is not tried through.
    if (entries.size() > 8) entries.resize(8);
    for (const Entry& e : entries) {
        const QByteArrayView bits = d.sliced(e.offset, e.size);
        std::optional<IconImage> picture;
        if (bits.size() >= 8 && bits.first(8) == QByteArrayView("\x89PNG\r\n\x1a\n", 8)) {
            if (auto png = readPng(bits)) picture = IconImage{*png, {}, {}};
        } else {
            picture = readDib(bits, paletteMap);
        }
        if (!picture) continue;
        const QSize s = picture->image.size();
        picture->hotSpot =
            QPoint(std::clamp(e.hotSpot.x(), 0, s.width() - 1), std::clamp(e.hotSpot.y(), 0, s.height() - 1));
        return picture;
    }
    return std::nullopt;
}
