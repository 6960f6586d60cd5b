#include "tests/formats/formatfixtures.h"

#include "platform/imaging/formats/magickruntime.h"

#include <Magick++.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <list>

namespace fixtures {

namespace {

void put16(QByteArray& b, uint16_t v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
void put32(QByteArray& b, uint32_t v) {
    put16(b, uint16_t(v & 0xFFFF));
    put16(b, uint16_t(v >> 16));
}

int indexOf(const std::vector<Rgb>& colours, const Rgb& c) {
    return int(std::find(colours.begin(), colours.end(), c) - colours.begin());
}

} // namespace

std::vector<Rgb> Picture::colours() const {
    std::vector<Rgb> out;
    for (const Rgb& c : pixels) {
        if (std::find(out.begin(), out.end(), c) == out.end())
            out.push_back(c);
    }
    return out;
}

Picture colourPicture(int width, int height) {
    static const Rgb stripes[] = {{255, 0, 0}, {0, 160, 0}, {0, 0, 255}, {255, 255, 0}, {200, 0, 200}, {255, 255, 255}};
    Picture p{width, height, {}, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool band = y >= height / 3 && y < height / 3 + 2;
            p.pixels.push_back(band ? Rgb{0, 0, 0} : stripes[x * 6 / width]);
        }
    }
    return p;
}

Picture greyPicture(int width, int height) {
    Picture p{width, height, {}, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t v = uint8_t(std::min(255, x * 6 + y)); // under 256 distinct greys
            p.pixels.push_back({v, v, v});
        }
    }
    return p;
}

Picture bilevelPicture(int width, int height) {
    Picture p{width, height, {}, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool black = ((x / 4 + y / 4) % 2 == 0) || x == y;
            p.pixels.push_back(black ? Rgb{0, 0, 0} : Rgb{255, 255, 255});
        }
    }
    return p;
}

Picture withAlpha(Picture picture) {
    picture.alpha.clear();
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x)
            picture.alpha.push_back(uint8_t(x * 255 / (picture.width - 1)));
    }
    return picture;
}

static Magick::Image toMagick(const Picture& picture) {
    imaging::ensureMagickReady();
    const bool alpha = !picture.alpha.empty();
    std::vector<uint8_t> data;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        data.insert(data.end(), picture.pixels[i].begin(), picture.pixels[i].end());
        if (alpha)
            data.push_back(picture.alpha[i]);
    }
    return Magick::Image(size_t(picture.width), size_t(picture.height), alpha ? "RGBA" : "RGB", MagickCore::CharPixel,
                         data.data());
}

QByteArray magickWrite(const Picture& picture, const char* magick, const std::function<void(Magick::Image&)>& tweak) {
    Magick::Image image = toMagick(picture);
    if (tweak)
        tweak(image);
    Magick::Blob blob;
    image.magick(magick);
    image.write(&blob);
    return QByteArray(static_cast<const char*>(blob.data()), qsizetype(blob.length()));
}

QByteArray magickWriteFrames(const std::vector<Picture>& pictures, const char* magick) {
    std::list<Magick::Image> frames;
    for (const Picture& p : pictures)
        frames.push_back(toMagick(p));
    Magick::Blob blob;
    for (auto& f : frames)
        f.magick(magick);
    Magick::writeImages(frames.begin(), frames.end(), &blob, true);
    return QByteArray(static_cast<const char*>(blob.data()), qsizetype(blob.length()));
}

QByteArray bmp(const Picture& p, int bits, double dpi) {
    const bool v4 = bits == 32 && !p.alpha.empty();
    const std::vector<Rgb> colours = p.colours();
    const int paletteSize = bits <= 8 ? (1 << bits) : 0;
    const int rowBytes = (p.width * bits + 31) / 32 * 4;
    const uint32_t infoSize = v4 ? 108 : 40;
    const uint32_t offset = 14 + infoSize + uint32_t(paletteSize) * 4;
    QByteArray b("BM");
    put32(b, offset + uint32_t(rowBytes * p.height));
    put32(b, 0);
    put32(b, offset);
    put32(b, infoSize);
    put32(b, uint32_t(p.width));
    put32(b, uint32_t(p.height)); // bottom-up
    put16(b, 1);
    put16(b, uint16_t(bits));
    put32(b, v4 ? 3 : 0);
    put32(b, uint32_t(rowBytes * p.height));
    const uint32_t ppm = uint32_t(dpi / 0.0254 + 0.5);
    put32(b, ppm);
    put32(b, ppm);
    put32(b, uint32_t(paletteSize));
    put32(b, 0);
    if (v4) {
        put32(b, 0x00FF0000);
        put32(b, 0x0000FF00);
        put32(b, 0x000000FF);
        put32(b, 0xFF000000);
        put32(b, 0x73524742); // 'sRGB'
        b.append(QByteArray(36 + 12, '\0'));
    }
    for (int i = 0; i < paletteSize; ++i) {
        const Rgb c = i < int(colours.size()) ? colours[size_t(i)] : Rgb{0, 0, 0};
        b.append(char(c[2])).append(char(c[1])).append(char(c[0])).append('\0');
    }
    for (int y = p.height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < p.width; ++x) {
            const Rgb c = p.at(x, y);
            switch (bits) {
            case 1: case 4: case 8: {
                const int bit = x * bits;
                row[bit / 8] = char(uint8_t(row[bit / 8]) | indexOf(colours, c) << (8 - bits - bit % 8));
                break;
            }
            case 16: {
                const uint16_t v = uint16_t((c[0] >> 3) << 10 | (c[1] >> 3) << 5 | (c[2] >> 3));
                row[x * 2] = char(v & 0xFF);
                row[x * 2 + 1] = char(v >> 8);
                break;
            }
            default:
                row[x * bits / 8] = char(c[2]);
                row[x * bits / 8 + 1] = char(c[1]);
                row[x * bits / 8 + 2] = char(c[0]);
                if (bits == 32)
                    row[x * 4 + 3] = char(p.alpha.empty() ? 0 : p.alpha[size_t(y) * p.width + x]);
            }
        }
        b.append(row);
    }
    return b;
}

QByteArray pnm(const Picture& p, char kind, int maxval) {
    QByteArray b = QByteArray("P") + kind + "\n# made by the tests\n";
    if (kind == '7') {
        b += QByteArray("WIDTH ") + QByteArray::number(p.width) + "\nHEIGHT " + QByteArray::number(p.height) +
             "\nDEPTH 4\nMAXVAL " + QByteArray::number(maxval) + "\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    } else {
        b += QByteArray::number(p.width) + " " + QByteArray::number(p.height) + "\n";
        if (kind != '1' && kind != '4')
            b += QByteArray::number(maxval) + "\n";
    }
    auto sample = [&](uint8_t v) {
        if (maxval > 255) {
            const uint16_t s = uint16_t(v * 257);
            b.append(char(s >> 8)).append(char(s & 0xFF));
        } else {
            b.append(char(v));
        }
    };
    for (int y = 0; y < p.height; ++y) {
        QByteArray packed((p.width + 7) / 8, '\0');
        for (int x = 0; x < p.width; ++x) {
            const Rgb c = p.at(x, y);
            switch (kind) {
            case '1': b += c[0] < 128 ? "1 " : "0 "; break; // PBM: 1 is black
            case '4': if (c[0] < 128) packed[x / 8] = char(uint8_t(packed[x / 8]) | 0x80 >> (x % 8)); break;
            case '2': b += QByteArray::number(c[0] * maxval / 255) + ' '; break;
            case '3': for (uint8_t v : c) b += QByteArray::number(v * maxval / 255) + ' '; break;
            case '5': sample(c[0]); break;
            case '6': for (uint8_t v : c) sample(v); break;
            case '7':
                for (uint8_t v : c) sample(v);
                sample(p.alpha.empty() ? 255 : p.alpha[size_t(y) * p.width + x]);
                break;
            }
        }
        if (kind == '4')
            b += packed;
        else if (kind == '1' || kind == '2' || kind == '3')
            b += '\n';
    }
    return b;
}

QByteArray pcx1(const Picture& p, int dpi) {
    const int lineBytes = ((p.width + 7) / 8 + 1) & ~1; // even, as the format wants
    QByteArray b;
    b.append(char(10)).append(char(5)).append(char(1)).append(char(1));
    put16(b, 0);
    put16(b, 0);
    put16(b, uint16_t(p.width - 1));
    put16(b, uint16_t(p.height - 1));
    put16(b, uint16_t(dpi));
    put16(b, uint16_t(dpi));
    QByteArray palette(48, '\0');
    palette[3] = palette[4] = palette[5] = char(255);
    b += palette;
    b.append('\0').append(char(1));
    put16(b, uint16_t(lineBytes));
    put16(b, 1);
    b.append(QByteArray(128 - b.size(), '\0'));
    for (int y = 0; y < p.height; ++y) {
        QByteArray line(lineBytes, '\0');
        for (int x = 0; x < p.width; ++x) {
            if (p.at(x, y)[0] >= 128) // 1 is white
                line[x / 8] = char(uint8_t(line[x / 8]) | 0x80 >> (x % 8));
        }
        for (int i = 0; i < lineBytes;) { // run-length: 0xC0 | count, then the byte
            int run = 1;
            while (i + run < lineBytes && run < 63 && line[i + run] == line[i])
                ++run;
            if (run > 1 || (uint8_t(line[i]) & 0xC0) == 0xC0)
                b.append(char(0xC0 | run));
            b.append(line[i]);
            i += run;
        }
    }
    return b;
}

static void putBe(QByteArray& b, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

QByteArray psdIndexed(const Picture& p) {
    const std::vector<Rgb> colours = p.colours();
    QByteArray b("8BPS");
    putBe(b, 1, 2);
    b.append(QByteArray(6, '\0'));
    putBe(b, 1, 2); // channels
    putBe(b, uint32_t(p.height), 4);
    putBe(b, uint32_t(p.width), 4);
    putBe(b, 8, 2);
    putBe(b, 2, 2); // indexed
    putBe(b, 768, 4);
    QByteArray table(768, '\0');
    for (size_t i = 0; i < colours.size(); ++i) {
        table[int(i)] = char(colours[i][0]);
        table[int(256 + i)] = char(colours[i][1]);
        table[int(512 + i)] = char(colours[i][2]);
    }
    b += table;
    putBe(b, 0, 4); // image resources
    putBe(b, 0, 4); // layers
    putBe(b, 0, 2); // raw image data
    for (const Rgb& c : p.pixels)
        b.append(char(indexOf(colours, c)));
    return b;
}

QByteArray psdWithAlpha(const Picture& p) {
    QByteArray b("8BPS");
    putBe(b, 1, 2);
    b.append(QByteArray(6, '\0'));
    putBe(b, 4, 2); // R, G, B, alpha
    putBe(b, uint32_t(p.height), 4);
    putBe(b, uint32_t(p.width), 4);
    putBe(b, 8, 2);
    putBe(b, 3, 2); // RGB
    putBe(b, 0, 4);
    putBe(b, 0, 4);
    putBe(b, 0, 4);
    putBe(b, 0, 2); // raw planes
    for (int c = 0; c < 3; ++c) {
        for (size_t i = 0; i < p.pixels.size(); ++i) {
            const int a = p.alpha[i];
            b.append(char((p.pixels[i][size_t(c)] * a + 255 * (255 - a) + 127) / 255));
        }
    }
    for (uint8_t a : p.alpha)
        b.append(char(a));
    return b;
}

QByteArray tga(const Picture& p, int type, bool rle, bool topDown, bool rightToLeft) {
    const std::vector<Rgb> colours = p.colours();
    const bool alpha = type == 2 && !p.alpha.empty();
    const int bytes = type == 2 ? (alpha ? 4 : 3) : 1;
    QByteArray b;
    b.append(char(0));                    // no image ID
    b.append(char(type == 1 ? 1 : 0));    // colour map present
    b.append(char(type + (rle ? 8 : 0)));
    put16(b, 0);                          // first map entry
    put16(b, type == 1 ? uint16_t(colours.size()) : 0);
    b.append(char(type == 1 ? 24 : 0));   // map entry bits
    put32(b, 0);                          // origin
    put16(b, uint16_t(p.width));
    put16(b, uint16_t(p.height));
    b.append(char(bytes * 8));
    b.append(char((alpha ? 8 : 0) | (rightToLeft ? 0x10 : 0) | (topDown ? 0x20 : 0)));
    if (type == 1)
        for (const Rgb& c : colours)
            b.append(char(c[2])).append(char(c[1])).append(char(c[0]));
    std::vector<QByteArray> stored; // pixels in file order
    for (int row = 0; row < p.height; ++row) {
        const int y = topDown ? row : p.height - 1 - row;
        for (int column = 0; column < p.width; ++column) {
            const int x = rightToLeft ? p.width - 1 - column : column;
            const Rgb c = p.at(x, y);
            QByteArray px;
            if (type == 1)
                px.append(char(indexOf(colours, c)));
            else if (type == 3)
                px.append(char(c[0]));
            else
                px.append(char(c[2])).append(char(c[1])).append(char(c[0]));
            if (alpha)
                px.append(char(p.alpha[size_t(y) * p.width + x]));
            stored.push_back(px);
        }
    }
    for (size_t i = 0; i < stored.size();) {
        if (!rle) {
            b += stored[i++];
            continue;
        }
        // A run of equal pixels, or else a raw packet up to the next run; at most 128 each,
        // crossing rows as the format allows.
        size_t run = 1;
        while (i + run < stored.size() && run < 128 && stored[i + run] == stored[i])
            ++run;
        if (run > 1) {
            b.append(char(0x80 | (run - 1)));
            b += stored[i];
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < stored.size() && raw < 128 && stored[i + raw] != stored[i + raw - 1])
            ++raw;
        b.append(char(raw - 1));
        for (size_t k = 0; k < raw; ++k)
            b += stored[i + k];
        i += raw;
    }
    return b;
}

QByteArray dcx(const std::vector<QByteArray>& pages) {
    QByteArray b;
    put32(b, 0x3ADE68B1);
    uint32_t offset = 4 + 1024 * 4;
    for (const QByteArray& page : pages) {
        put32(b, offset);
        offset += uint32_t(page.size());
    }
    b.append(QByteArray(4 + 1024 * 4 - b.size(), '\0'));
    for (const QByteArray& page : pages)
        b += page;
    return b;
}

static QByteArray icoBitmap(const Picture& p, int bits) {
    QByteArray b;
    put32(b, 40);
    put32(b, uint32_t(p.width));
    put32(b, uint32_t(p.height * 2));
    put16(b, 1);
    put16(b, uint16_t(bits));
    b.append(QByteArray(24, '\0'));
    const std::vector<Rgb> colours = p.colours();
    if (bits == 8) {
        for (int i = 0; i < 256; ++i) {
            const Rgb c = i < int(colours.size()) ? colours[size_t(i)] : Rgb{0, 0, 0};
            b.append(char(c[2])).append(char(c[1])).append(char(c[0])).append('\0');
        }
    }
    const int rowBytes = (p.width * bits + 31) / 32 * 4;
    for (int y = p.height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < p.width; ++x) {
            const Rgb c = p.at(x, y);
            if (bits == 8) {
                row[x] = char(indexOf(colours, c));
            } else {
                row[x * 4] = char(c[2]);
                row[x * 4 + 1] = char(c[1]);
                row[x * 4 + 2] = char(c[0]);
                row[x * 4 + 3] = char(p.alpha.empty() ? 255 : p.alpha[size_t(y) * p.width + x]);
            }
        }
        b += row;
    }
    b.append(QByteArray((p.width + 31) / 32 * 4 * p.height, '\0')); // AND mask: all opaque
    return b;
}

QByteArray ico(const std::vector<IcoEntry>& entries) {
    std::vector<QByteArray> images;
    for (const IcoEntry& e : entries)
        images.push_back(e.png ? magickWrite(e.picture, "PNG", [](Magick::Image& i) { i.defineValue("png", "color-type", "6"); })
                               : icoBitmap(e.picture, e.bits));
    QByteArray b;
    put16(b, 0);
    put16(b, 1);
    put16(b, uint16_t(entries.size()));
    uint32_t offset = 6 + 16 * uint32_t(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const Picture& p = entries[i].picture;
        b.append(char(p.width >= 256 ? 0 : p.width)).append(char(p.height >= 256 ? 0 : p.height));
        b.append('\0').append('\0'); // colour count, reserved
        put16(b, 1);
        put16(b, uint16_t(entries[i].png ? 32 : entries[i].bits));
        put32(b, uint32_t(images[i].size()));
        put32(b, offset);
        offset += uint32_t(images[i].size());
    }
    for (const QByteArray& image : images)
        b += image;
    return b;
}

namespace {

// Metafile records are written by hand, a few values each.
class Records {
public:
    QByteArray bytes;
    int count = 0;
    void u16(uint16_t v) { put16(bytes, v); }
    void u32(uint32_t v) { put32(bytes, v); }
    void i32(int32_t v) { put32(bytes, uint32_t(v)); }
    void rgb(uint8_t r, uint8_t g, uint8_t b) { u32(uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16); }
};

// WMF: size in 16-bit words, function, then 16-bit parameters.
void wmr(Records& r, uint16_t function, std::initializer_list<int> params) {
    r.u32(uint32_t(3 + params.size()));
    r.u16(function);
    for (int v : params)
        r.u16(uint16_t(v));
    ++r.count;
}

} // namespace

QByteArray emfRecord(uint32_t type, const QByteArray& params) {
    QByteArray padded = params;
    padded.append(QByteArray(-params.size() & 3, '\0'));
    QByteArray b;
    put32(b, type);
    put32(b, uint32_t(8 + padded.size()));
    return b + padded;
}

QByteArray emfRecord(uint32_t type, std::initializer_list<int32_t> params) {
    QByteArray b;
    for (int32_t v : params)
        put32(b, uint32_t(v));
    return emfRecord(type, b);
}

QByteArray emfPicture(double widthInches, double heightInches, const QByteArray& records) {
    // Reference device: 1000 x 1000 pixels over 100 x 100 mm.
    const int32_t fw = int32_t(widthInches * 2540), fh = int32_t(heightInches * 2540); // 0.01 mm
    const int32_t bw = fw / 10, bh = fh / 10;                                           // device pixels
    const QByteArray body = records + emfRecord(14, {0, 16, 20}); // EOF
    int count = 0;
    for (qsizetype at = 0; at + 8 <= body.size(); at += qFromLittleEndian<quint32>(body.constData() + at + 4))
        ++count;
    Records head;
    head.u32(1);
    head.u32(88);
    for (int32_t v : {0, 0, bw - 1, bh - 1, 0, 0, fw, fh})
        head.i32(v);
    head.u32(0x464D4520); // " EMF"
    head.u32(0x10000);
    head.u32(uint32_t(88 + body.size()));
    head.u32(uint32_t(count + 1));
    head.u16(16); // handles, with the reserved zero
    head.u16(0);
    for (int32_t v : {0, 0, 0, 1000, 1000, 100, 100})
        head.i32(v);
    return head.bytes + body;
}

QByteArray emf(double widthInches, double heightInches, bool anisotropic) {
    const int32_t fw = int32_t(widthInches * 2540), fh = int32_t(heightInches * 2540); // 0.01 mm
    const int32_t bw = fw / 10, bh = fh / 10;                                           // device pixels
    QByteArray body;
    int32_t w = bw, h = bh;
    if (anisotropic) {
        body += emfRecord(17, {8});      // SETMAPMODE anisotropic
        body += emfRecord(9, {fw, fh});  // SETWINDOWEXTEX
        body += emfRecord(11, {bw, bh}); // SETVIEWPORTEXTEX
        w = fw;
        h = fh;
    }
    body += emfRecord(38, {1, 5, 1, 1, 0});     // CREATEPEN 1: null pen
    body += emfRecord(37, {1});                 // SELECTOBJECT
    body += emfRecord(39, {2, 0, 0x0000FF, 0}); // CREATEBRUSHINDIRECT 2: solid red
    body += emfRecord(37, {2});
    body += emfRecord(43, {0, 0, w / 2, h});    // RECTANGLE
    body += emfRecord(39, {3, 0, 0xFF0000, 0}); // brush 3: solid blue
    body += emfRecord(37, {3});
    body += emfRecord(42, {w / 2, 0, w, h});    // ELLIPSE
    return emfPicture(widthInches, heightInches, body);
}

namespace {

// Little-endian values one after another, for records whose parameters mix sizes.
struct Params {
    QByteArray b;
    Params& i32(std::initializer_list<int32_t> values) {
        for (int32_t v : values)
            put32(b, uint32_t(v));
        return *this;
    }
    Params& i16(std::initializer_list<int> values) {
        for (int v : values)
            put16(b, uint16_t(v));
        return *this;
    }
    Params& f32(std::initializer_list<float> values) {
        for (float v : values)
            put32(b, std::bit_cast<uint32_t>(v));
        return *this;
    }
    Params& raw(const QByteArray& bytes) {
        b += bytes;
        return *this;
    }
};

// A bottom-up 24-bit DIB header (40 bytes) for `width` x `height` pixels.
QByteArray dibHeader(int width, int height, int bits = 24) {
    QByteArray b;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height)})
        put32(b, v);
    put16(b, 1);
    put16(b, uint16_t(bits));
    for (int i = 0; i < 6; ++i)
        put32(b, 0);
    return b;
}

// STRETCHDIBITS of `bits` (a `width` x `height` DIB) onto the logical rectangle at (x, y).
QByteArray stretchDiBits(int x, int y, int w, int h, int width, int height, const QByteArray& bits) {
    const QByteArray header = dibHeader(width, height);
    const int at = 8 + 72; // the record's head and fixed parameters
    return emfRecord(81, Params()
                             .i32({0, 0, 0, 0, x, y, 0, 0, width, height, at, int(header.size()),
                                   at + int(header.size()), int(bits.size()), 0, 0x00CC0020, w, h})
                             .raw(header + bits)
                             .b);
}

} // namespace

QByteArray emfSampler() {
    QByteArray b;
    const auto rec = [&](uint32_t type, std::initializer_list<int32_t> params) { b += emfRecord(type, params); };
    const auto brush = [&](int index, uint32_t bgr) {
        rec(39, {index, 0, int32_t(bgr), 0}); // CREATEBRUSHINDIRECT solid
        rec(37, {index});                     // SELECTOBJECT
    };
    // Logical units: 4000 across the 4-inch picture, 0.3 pixels of the page each.
    rec(17, {8});           // SETMAPMODE anisotropic
    rec(9, {4000, 4000});   // SETWINDOWEXTEX
    rec(11, {1016, 1016});  // SETVIEWPORTEXTEX: the picture's 101.6 mm of device pixels
    rec(37, {int32_t(0x80000008)}); // the stock null pen

    // A red square through a world transform that doubles and moves it: (100, 100) to (900, 900).
    rec(33, {}); // SAVEDC
    b += emfRecord(35, Params().f32({2, 0, 0, 2, 100, 100}).b); // SETWORLDTRANSFORM
    brush(1, 0x0000FF);
    rec(43, {0, 0, 400, 400}); // RECTANGLE
    rec(34, {-1});             // RESTOREDC
    // A green triangle filled as a path.
    brush(2, 0x00C000);
    rec(59, {}); // BEGINPATH
    b += emfRecord(86, Params().i32({0, 0, 0, 0, 3}).i16({1000, 100, 1900, 100, 1000, 1000}).b); // POLYGON16
    rec(60, {});           // ENDPATH
    rec(62, {0, 0, 0, 0}); // FILLPATH
    // A 2 x 2 bitmap stretched over (2100, 100) to (2900, 900): red, green over blue, white.
    const QByteArray bits = QByteArray::fromHex("ff0000ffffff0000" "0000ff00ff000000"); // rows from the bottom
    b += stretchDiBits(2100, 100, 800, 800, 2, 2, bits);
    // A magenta ellipse cut to its top half by the clip.
    rec(33, {});
    rec(30, {3000, 100, 3900, 500}); // INTERSECTCLIPRECT
    brush(3, 0xFF00FF);
    rec(42, {3000, 100, 3900, 900}); // ELLIPSE
    rec(34, {-1});

    // A blue line 40 units wide, flat ended, from an extended pen.
    b += emfRecord(95, Params().i32({4, 0, 0, 0, 0, 0x00010000 | 0x0200, 40, 0, 0xFF0000, 0, 0}).b); // EXTCREATEPEN
    rec(37, {4});
    b += emfRecord(4, Params().i32({0, 0, 0, 0, 2, 100, 1300, 1900, 1300}).b); // POLYLINE
    rec(37, {int32_t(0x80000008)});
    // "EMF" in black Arial, 400 units high, at (2100, 1100).
    QByteArray font = Params().i32({5, -400, 0, 0, 0, 400}).raw(QByteArray(8, '\0')).b;
    QByteArray face(64, '\0');
    for (int i = 0; i < 5; ++i)
        face[2 * i] = "Arial"[i];
    b += emfRecord(82, font + face); // EXTCREATEFONTINDIRECTW
    rec(37, {5});
    rec(18, {1}); // SETBKMODE transparent
    const int textAt = 8 + 68;
    b += emfRecord(84, Params()
                           .i32({0, 0, 0, 0, 1})
                           .f32({1, 1})
                           .i32({2100, 1100, 3, textAt, 0, 0, 0, 0, 0, 0})
                           .i16({'E', 'M', 'F', 0})
                           .b); // EXTTEXTOUTW
    // An orange ring: two squares, one inside the other, filled alternately.
    brush(6, 0x0080FF);
    b += emfRecord(91, Params()
                           .i32({0, 0, 0, 0, 2, 8, 4, 4})
                           .i16({100, 1600, 900, 1600, 900, 2400, 100, 2400, 350, 1850, 650, 1850, 650, 2150, 350, 2150})
                           .b); // POLYPOLYGON16
    // Black at half strength over white: a 1 x 1 32-bit bitmap blended at a constant alpha of 128.
    const QByteArray pixel = dibHeader(1, 1, 32);
    const int bmiAt = 8 + 100;
    b += emfRecord(114, Params()
                            .i32({0, 0, 0, 0, 1000, 1600, 800, 800, 128 << 16, 0, 0})
                            .f32({1, 0, 0, 1, 0, 0})
                            .i32({0, 0, bmiAt, int(pixel.size()), bmiAt + int(pixel.size()), 4, 1, 1})
                            .raw(pixel + QByteArray(4, '\0'))
                            .b); // ALPHABLEND
    // Red to blue, left to right, over (2100, 1600) to (2900, 2400).
    b += emfRecord(118, Params()
                            .i32({0, 0, 0, 0, 2, 1, 0})
                            .i32({2100, 1600}).i16({0xFF00, 0, 0, 0})
                            .i32({2900, 2400}).i16({0, 0, 0xFF00, 0})
                            .i32({0, 1})
                            .b); // GRADIENTFILL
    return emfPicture(4, 4, b);
}

namespace {

// A placeable WMF of `w` x `h` twips around `body`.
QByteArray wmfFile(const Records& body, int objects, int w, int h) {
    Records placeable;
    placeable.u32(0x9AC6CDD7);
    for (int v : {0, 0, 0, w, h, 1440})
        placeable.u16(uint16_t(v));
    placeable.u32(0);
    uint16_t checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= qFromLittleEndian<quint16>(placeable.bytes.constData() + i);
    placeable.u16(checksum);

    Records header;
    header.u16(1);
    header.u16(9);
    header.u16(0x0300);
    header.u32(uint32_t((18 + body.bytes.size()) / 2));
    header.u16(uint16_t(objects));
    header.u32(16); // longest record, in words
    header.u16(0);
    return placeable.bytes + header.bytes + body.bytes;
}

// A record whose parameters hold raw bytes (a bitmap, a string) padded to a word, between
// `before` and `after`.
void wmrBytes(Records& r, uint16_t function, std::initializer_list<int> before, QByteArray bytes,
              std::initializer_list<int> after = {}) {
    if (bytes.size() % 2) bytes.append('\0');
    r.u32(uint32_t(3 + before.size() + bytes.size() / 2 + after.size()));
    r.u16(function);
    for (int v : before)
        r.u16(uint16_t(v));
    r.bytes += bytes;
    for (int v : after)
        r.u16(uint16_t(v));
    ++r.count;
}

// A bottom-up DIB: `rows` from the bottom, each a list of 0xRRGGBB colours (24 bits), or
// of palette indices into `palette` at `bits` 1 or 8.
QByteArray dib(int bits, const std::vector<std::vector<uint32_t>>& rows,
               const std::vector<uint32_t>& palette = {}) {
    const int width = int(rows.at(0).size()), height = int(rows.size());
    QByteArray b;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height)})
        put32(b, v);
    put16(b, 1);
    put16(b, uint16_t(bits));
    for (uint32_t v : {0u, 0u, 0u, 0u, uint32_t(palette.size()), 0u})
        put32(b, v);
    for (uint32_t c : palette)
        put32(b, c);
    const int stride = (width * bits + 31) / 32 * 4;
    for (const auto& row : rows) {
        QByteArray line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            if (bits == 24) {
                line[3 * x] = char(row[size_t(x)] & 0xFF);
                line[3 * x + 1] = char(row[size_t(x)] >> 8 & 0xFF);
                line[3 * x + 2] = char(row[size_t(x)] >> 16 & 0xFF);
            } else if (bits == 8) {
                line[x] = char(row[size_t(x)]);
            } else if (row[size_t(x)]) {
                line[x / 8] = char(line[x / 8] | 0x80 >> (x % 8));
            }
        }
        b += line;
    }
    return b;
}

} // namespace

QByteArray wmf(double widthInches, double heightInches, bool withText, bool placeable) {
    const int w = int(widthInches * 1440), h = int(heightInches * 1440); // twips
    Records body;
    wmr(body, 0x0103, {8});                          // SETMAPMODE anisotropic
    wmr(body, 0x020B, {0, 0});                       // SETWINDOWORG (y, x)
    wmr(body, 0x020C, {h, w});                       // SETWINDOWEXT (y, x)
    wmr(body, 0x02FA, {5, 1, 0, 0, 0});              // CREATEPENINDIRECT 0: null pen
    wmr(body, 0x012D, {0});                          // SELECTOBJECT
    wmr(body, 0x02FC, {0, 0x00FF, 0x0000, 0});       // CREATEBRUSHINDIRECT 1: solid red
    wmr(body, 0x012D, {1});
    wmr(body, 0x041B, {h, w / 2, 0, 0});             // RECTANGLE (bottom, right, top, left)
    wmr(body, 0x02FC, {0, 0x0000, 0x00FF, 0});       // brush 2: solid blue
    wmr(body, 0x012D, {2});
    wmr(body, 0x0418, {h, w, 0, w / 2});             // ELLIPSE
    int objects = 3;
    if (withText) {
        // CREATEFONTINDIRECT 3: 200 twips high, "Arial"; then green TEXTOUT "Hello".
        wmr(body, 0x02FB,
            {-200, 0, 0, 0, 400, 0, 0, 0, 0, 0x7241 /* "Ar" */, 0x6169 /* "ia" */, 0x006C /* "l" */});
        wmr(body, 0x012D, {3});
        wmr(body, 0x0209, {0x8000, 0x0000});         // SETTEXTCOLOR (0, 128, 0)
        wmr(body, 0x0521, {5, 0x6548, 0x6C6C, 0x006F, 100, 100}); // TEXTOUT "Hello" at (100, 100)
        objects = 4;
    }
    wmr(body, 0x0000, {});                           // EOF
    const QByteArray file = wmfFile(body, objects, w, h);
    return placeable ? file : file.mid(22);
}

QByteArray wmfSampler() {
    Records b;
    // Colours as the two words of a COLORREF: red | green << 8, blue.
    const auto lo = [](uint32_t c) { return int((c >> 16 & 0xFF) | (c >> 8 & 0xFF) << 8); };
    const auto hi = [](uint32_t c) { return int(c & 0xFF); };
    const auto pen = [&](int style, int width, uint32_t c) {
        wmr(b, 0x02FA, {style, width, 0, lo(c), hi(c)});
    };
    const auto brush = [&](int style, uint32_t c, int hatch) {
        wmr(b, 0x02FC, {style, lo(c), hi(c), hatch});
    };
    const auto select = [&](int i) { wmr(b, 0x012D, {i}); };
    const auto erase = [&](int i) { wmr(b, 0x01F0, {i}); };
    const auto box = [](int l, int t, int r, int btm) { return std::vector<int>{btm, r, t, l}; };
    const auto rec = [&](uint16_t f, std::vector<int> p) {
        b.u32(uint32_t(3 + p.size()));
        b.u16(f);
        for (int v : p)
            b.u16(uint16_t(v));
        ++b.count;
    };
    const auto cat = [](std::vector<int> a, const std::vector<int>& more) {
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };

    wmr(b, 0x0103, {8});          // SETMAPMODE anisotropic
    wmr(b, 0x020B, {0, 0});       // SETWINDOWORG
    wmr(b, 0x020C, {5760, 5760}); // SETWINDOWEXT: 4 x 4 inches of twips
    wmr(b, 0x0102, {1});          // SETBKMODE transparent

    // Row 1: a hatched rectangle, a dashed ellipse without fill, a yellow pie (its top right quarter).
    pen(0, 30, 0x000000);  // 0
    brush(2, 0x008000, 4); // 1: green cross hatch
    select(0);
    select(1);
    rec(0x041B, box(100, 100, 1800, 1400));
    pen(1, 0, 0x0000FF); // 2: blue dashes
    brush(1, 0, 0);      // 3: none
    select(2);
    select(3);
    rec(0x0418, box(2000, 100, 3700, 1400));
    brush(0, 0xFFFF00, 0); // 4: yellow
    select(0);
    select(4);
    rec(0x081A,
        cat({100, 4750, 750, 5600}, box(3900, 100, 5600, 1400))); // PIE: end (4750, 100), start (5600, 750)

    // Row 2: a star filled whole (winding), a square ring (alternate), a magenta ellipse clipped
    // to its top half.
    brush(0, 0xFF0000, 0); // 5: red
    select(5);
    wmr(b, 0x0106, {2}); // SETPOLYFILLMODE winding
    rec(0x0324, {5, 950, 1650, 1303, 2735, 379, 2064, 1521, 2064, 597, 2735});
    brush(0, 0x0000FF, 0); // 6: blue
    select(6);
    wmr(b, 0x0106, {1}); // alternate
    rec(0x0538, {2, 4, 4, 2000, 1600, 3300, 1600, 3300, 2900, 2000, 2900, 2350, 1950, 2950, 1950, 2950, 2550,
                 2350, 2550});
    wmr(b, 0x001E, {});                       // SAVEDC
    rec(0x0416, box(3900, 1600, 5600, 2250)); // INTERSECTCLIPRECT
    brush(0, 0xFF00FF, 0);                    // 7: magenta
    pen(5, 0, 0);                             // 8: none
    select(7);
    select(8);
    rec(0x0418, box(3900, 1600, 5600, 2900));
    wmr(b, 0x0127, {0xFFFF}); // RESTOREDC -1

    // Row 3: a 2 x 2 bitmap stretched (red, green over blue, white), text, an opaque cyan text box.
    wmrBytes(b, 0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 1100, 1200, 3100, 100},
             dib(24, {{0x0000FF, 0xFFFFFF}, {0xFF0000, 0x00FF00}}));            // STRETCHDIB, SRCCOPY
    wmrBytes(b, 0x02FB, {-400, 0, 0, 0, 700, 0, 0, 0, 0}, QByteArray("Arial")); // 9: font
    select(9);
    wmr(b, 0x012E, {0});                                       // SETTEXTALIGN top left
    wmr(b, 0x0209, {0, 0});                                    // SETTEXTCOLOR black
    wmrBytes(b, 0x0521, {3}, QByteArray("Wmf"), {3100, 1500}); // TEXTOUT at (1500, 3100)
    wmr(b, 0x0201, {lo(0x00FFFF), hi(0x00FFFF)});              // SETBKCOLOR cyan
    wmr(b, 0x0102, {2});                                       // opaque
    wmrBytes(b, 0x02FB, {-300, 0, 450, 450, 400, 0, 0, 0, 0},
             QByteArray("Times New Roman\0", 16)); // 10: turned 45 degrees
    select(10);
    wmrBytes(b, 0x0A32, {4000, 3400, 2, 0x0002, 3400, 3100, 5600, 4200},
             QByteArray("Hi") + QByteArray("\x90\x01\x90\x01", 4));
    wmr(b, 0x0102, {1});

    // Row 4: an orange rounded rectangle with a hole cut by the clip, a grey chord (its top
    // half), a red arc, a black pattern fill, a one-bit bitmap.
    wmr(b, 0x001E, {});
    rec(0x0415, box(400, 4700, 900, 5300)); // EXCLUDECLIPRECT
    brush(0, 0xFF8000, 0);                  // 11: orange
    select(11);
    select(0);
    rec(0x061C, cat({300, 300}, box(100, 4400, 1300, 5600)));
    wmr(b, 0x0127, {0xFFFF});
    brush(0, 0x808080, 0); // 12: grey
    select(12);
    rec(0x0830, cat({5000, 1500, 5000, 2700}, box(1500, 4400, 2700, 5600))); // CHORD: start east, end west
    pen(0, 60, 0xFF0000);                                                    // 13: thick red
    select(13);
    brush(1, 0, 0);
    rec(0x0817, cat({4400, 3500, 5000, 4100}, box(2900, 4400, 4100, 5600))); // ARC
    wmr(b, 0x061D, {0x0042, 0x0000, 600, 600, 4400, 4300});                  // PATBLT blackness
    wmrBytes(b, 0x0B41, {0x0020, 0x00CC, 8, 8, 0, 0, 600, 1200, 5000, 4300},
             dib(1,
                 {{1, 0, 1, 0, 1, 0, 1, 0},
                  {0, 1, 0, 1, 0, 1, 0, 1},
                  {1, 0, 1, 0, 1, 0, 1, 0},
                  {0, 1, 0, 1, 0, 1, 0, 1},
                  {1, 0, 1, 0, 1, 0, 1, 0},
                  {0, 1, 0, 1, 0, 1, 0, 1},
                  {1, 0, 1, 0, 1, 0, 1, 0},
                  {0, 1, 0, 1, 0, 1, 0, 1}},
                 {0x000000, 0xFFFFFF})); // DIBSTRETCHBLT
    wmr(b, 0x0214, {3000, 100});         // MOVETO
    wmr(b, 0x0213, {3000, 5600});        // LINETO
    wmr(b, 0x041F, {0, 0, 50, 50});      // SETPIXEL black
    for (int i = 0; i <= 14; ++i)
        erase(i);
    wmr(b, 0x0000, {});
    return wmfFile(b, 15, 5760, 5760);
}

Rgb pagePixel(const imaging::RasterPage& page, int x, int y) {
    const uint8_t* row = page.pixels.data() + size_t(y) * page.rowBytes();
    const int bits = page.bitsPerComponent;
    auto sample = [&](int i) -> int { // the i-th sample of the row, scaled to 8 bits
        if (bits == 16)
            return row[2 * i];
        if (bits == 8)
            return row[i];
        const int bit = i * bits;
        const int v = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
        return page.model == imaging::ColourModel::Indexed ? v : v * 255 / ((1 << bits) - 1);
    };
    switch (page.model) {
    case imaging::ColourModel::Gray: {
        const uint8_t v = uint8_t(sample(x));
        return {v, v, v};
    }
    case imaging::ColourModel::Indexed: {
        const size_t i = size_t(sample(x)) * 3;
        if (i + 3 > page.palette.size())
            return {1, 2, 3}; // index outside the palette: never a test colour
        return {page.palette[i], page.palette[i + 1], page.palette[i + 2]};
    }
    case imaging::ColourModel::RGB:
        return {uint8_t(sample(3 * x)), uint8_t(sample(3 * x + 1)), uint8_t(sample(3 * x + 2))};
    case imaging::ColourModel::CMYK: {
        const int k = sample(4 * x + 3);
        return {uint8_t(255 - std::min(255, sample(4 * x) + k)), uint8_t(255 - std::min(255, sample(4 * x + 1) + k)),
                uint8_t(255 - std::min(255, sample(4 * x + 2) + k))};
    }
    }
    return {0, 0, 0};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace fixtures
