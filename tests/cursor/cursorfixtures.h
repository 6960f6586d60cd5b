#pragma once

// Builders for cursor files, so every fixture is made by the tests themselves.

#include "gui/cursor/anicursorerror.h"
#include "gui/cursor/anifile.h"
#include "tests/support/testdir.h"

#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QList>
#include <QtEndian>

namespace fixtures {
using ::ScopedTmpDir;

inline quint32 get32(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}
inline void set32(QByteArray& b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}

// Little-endian writer over a byte array.
struct Le {
    QByteArray bytes;
    QDataStream s{&bytes, QIODevice::WriteOnly};
    Le() { s.setByteOrder(QDataStream::LittleEndian); }
    template <class... T> Le& u32(T... v) {
        ((s << quint32(v)), ...);
        return *this;
    }
    template <class... T> Le& u16(T... v) {
        ((s << quint16(v)), ...);
        return *this;
    }
    template <class... T> Le& u8(T... v) {
        ((s << quint8(v)), ...);
        return *this;
    }
};

// A .cur (type 2) or .ico (type 1) holding `picture` at `bpp` bits per pixel.
// Pixels with alpha 0 go into the AND mask; `invert` pixels are masked but keep
// their colour, which makes them invert the background.
inline QByteArray iconFile(const QImage& picture, QPoint hot, int bpp = 4, int type = 2,
                           const QList<QPoint>& invert = {}) {
    const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    QList<QRgb> palette;
    if (bpp <= 8) {
        palette = {qRgb(0, 0, 0)};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (!palette.contains(img.pixel(x, y) | 0xff000000u))
                    palette.append(img.pixel(x, y) | 0xff000000u);
        palette.resize(1 << bpp, qRgb(0, 0, 0));
    }
    const int xorStride = ((w * bpp + 31) / 32) * 4, andStride = ((w + 31) / 32) * 4;
    Le dib;
    dib.u32(40, w, 2 * h).u16(1, bpp).u32(0, (xorStride + andStride) * h, 0, 0, 0, 0);
    for (QRgb c : palette)
        dib.u8(qBlue(c), qGreen(c), qRed(c), 0);
    QByteArray xorBits(xorStride * h, '\0'), andBits(andStride * h, '\0');
    for (int y = 0; y < h; ++y) {
        uchar* p = reinterpret_cast<uchar*>(xorBits.data()) + (h - 1 - y) * xorStride; // bottom-up
        uchar* m = reinterpret_cast<uchar*>(andBits.data()) + (h - 1 - y) * andStride;
        for (int x = 0; x < w; ++x) {
            const QRgb c = img.pixel(x, y);
            const QRgb colour = qAlpha(c) == 0 ? qRgb(0, 0, 0) : (c | 0xff000000u);
            const int index = static_cast<int>(palette.indexOf(colour));
            switch (bpp) {
            case 1:
                p[x / 8] |= index << (7 - x % 8);
                break;
            case 4:
                p[x / 2] |= index << (x % 2 ? 0 : 4);
                break;
            case 8:
                p[x] = index;
                break;
            case 24:
                p[3 * x] = qBlue(colour), p[3 * x + 1] = qGreen(colour), p[3 * x + 2] = qRed(colour);
                break;
            default:
                p[4 * x] = qBlue(c), p[4 * x + 1] = qGreen(c), p[4 * x + 2] = qRed(c),
                      p[4 * x + 3] = qAlpha(c);
            }
            if (qAlpha(c) == 0 || invert.contains(QPoint(x, y))) m[x / 8] |= 0x80 >> (x % 8);
        }
    }
    const QByteArray bits = dib.bytes + xorBits + andBits;
    Le file;
    file.u16(0, type, 1).u8(w & 0xff, h & 0xff, bpp <= 8 ? (1 << bpp) & 0xff : 0, 0);
    file.u16(type == 2 ? hot.x() : 1, type == 2 ? hot.y() : bpp).u32(bits.size(), 22);
    return file.bytes + bits;
}

inline QByteArray chunk(const QByteArray& id, const QByteArray& data) {
    Le size;
    size.u32(data.size());
    return id + size.bytes + data + (data.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

inline QByteArray table(const QList<quint32>& values) {
    Le b;
    for (quint32 v : values)
        b.u32(v);
    return b.bytes;
}

struct AniPlan {
    QList<QByteArray> icons;
    quint32 frames = 0, steps = 0; // 0: the number of icons
    quint32 defaultRate = 10;
    quint32 flags = AniFile::kIconFrames;
    std::optional<QList<quint32>> rates, seq;
};

inline QByteArray aniFile(const AniPlan& s) {
    const quint32 n = static_cast<quint32>(s.icons.size());
    Le anih;
    anih.u32(36, s.frames ? s.frames : n, s.steps ? s.steps : n, 0, 0, 0, 0, s.defaultRate, s.flags);
    QByteArray body = "ACON" + chunk("anih", anih.bytes);
    if (s.rates) body += chunk("rate", table(*s.rates));
    if (s.seq) body += chunk("seq ", table(*s.seq));
    QByteArray fram = "fram";
    for (const QByteArray& icon : s.icons)
        fram += chunk("icon", icon);
    body += chunk("LIST", fram);
    return chunk("RIFF", body);
}

// `fill` inside a transparent border.
inline QImage square(int size, QRgb fill, int border = 2) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = border; y < size - border; ++y)
        for (int x = border; x < size - border; ++x)
            img.setPixel(x, y, fill);
    return img;
}

inline bool writeBytes(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The cursor error `f` raises, if any.
template <class F> std::optional<AniCursorError> errorOf(F&& f) {
    try {
        f();
    } catch (const AniCursorError& e) {
        return e;
    }
    return std::nullopt;
}

// The program's own cursor, as embedded.
QByteArray embeddedCursor();

} // namespace fixtures
