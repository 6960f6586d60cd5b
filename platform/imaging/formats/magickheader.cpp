#include "platform/imaging/formats/magickheader.h"

#include <QIODevice>
#include <algorithm>

namespace imaging {

namespace {

QByteArray readAt(QIODevice& device, int64_t offset, int64_t length) {
    if (offset < 0 || !device.seek(offset))
        return QByteArray();
    return device.read(length);
}

uint32_t u8(const QByteArray& b, int i) { return static_cast<uint8_t>(b[i]); }
uint32_t le16(const QByteArray& b, int i) { return u8(b, i) | u8(b, i + 1) << 8; }
uint32_t le32(const QByteArray& b, int i) { return le16(b, i) | le16(b, i + 2) << 16; }
uint32_t be16(const QByteArray& b, int i) { return u8(b, i) << 8 | u8(b, i + 1); }
uint32_t be32(const QByteArray& b, int i) { return be16(b, i) << 16 | be16(b, i + 2); }

int roundIndexBits(int bits) {
    if (bits <= 1)
        return 1;
    if (bits <= 2)
        return 2;
    if (bits <= 4)
        return 4;
    return 8;
}

void setPalette(MagickHeader& h, int bits) {
    h.palette = true;
    h.indexBits = roundIndexBits(bits);
    h.bitsPerPixel = h.indexBits;
}

int corrupt(QString& error, const char* what) {
    error = QString::fromLatin1(what);
    return ApCorrupt;
}

int unsupported(QString& error, const char* what) {
    error = QString::fromLatin1(what);
    return ApUnsupported;
}

// ImageMagick allocates a GIF frame before it reads the frame's data, so a few bytes could
// claim a page of hundreds of megabytes. LZW codes are at least (minimum code size + 1)
// bits and none stands for more than 4096 pixels: data that cannot hold the frame is
// refused before anything is allocated.
int checkGifData(QIODevice& d, int64_t pos, int64_t pixels, QString& error) {
    const QByteArray minCodeSize = readAt(d, pos, 1);
    if (minCodeSize.isEmpty())
        return corrupt(error, "GIF image data missing");
    const int64_t codeBits = std::clamp<int64_t>(u8(minCodeSize, 0), 1, 11) + 1;
    int64_t bytes = 0;
    for (pos += 1;;) {
        const QByteArray len = readAt(d, pos, 1);
        if (len.isEmpty() || u8(len, 0) == 0)
            break;
        bytes += u8(len, 0);
        pos += 1 + u8(len, 0);
        if (bytes * 8 / codeBits * 4096 >= pixels)
            return ApOk;
    }
    return corrupt(error, "GIF image data too short for its size");
}

int readGif(QIODevice& d, MagickHeader& h, QString& error) {
    const QByteArray b = readAt(d, 0, 13);
    if (b.size() < 13 || !(b.startsWith("GIF87a") || b.startsWith("GIF89a")))
        return corrupt(error, "not a GIF header");
    const uint32_t flags = u8(b, 10);
    int bits = (flags & 0x80) ? int(flags & 7) + 1 : 0;
    // The first image's descriptor gives the page size and, with a local table, its bits.
    int64_t pos = 13 + ((flags & 0x80) ? 3 * (int64_t(1) << bits) : 0);
    for (int guard = 0; guard < 100000; ++guard) {
        const QByteArray tag = readAt(d, pos, 1);
        if (tag.isEmpty())
            return corrupt(error, "GIF ends before its first image");
        if (tag[0] == '\x2C') {
            const QByteArray desc = readAt(d, pos + 1, 9);
            if (desc.size() < 9)
                return corrupt(error, "GIF image descriptor cut short");
            h.width = le16(desc, 4);
            h.height = le16(desc, 6);
            const uint32_t local = u8(desc, 8);
            if (local & 0x80)
                bits = int(local & 7) + 1;
            if (bits == 0)
                bits = 8; // no table at all: the decoder's default palette
            setPalette(h, bits);
            h.bitsPerPixel = bits; // GIF answers its colour-table bits as they are
            if (h.width == 0 || h.height == 0)
                return corrupt(error, "GIF image without pixels");
            if (!withinLimits(h.width, h.height, h.decodedBytes()))
                return ApOk; // refused as over the limits, which says more than "too short"
            const int64_t data = pos + 10 + ((local & 0x80) ? 3 * (int64_t(1) << (int(local & 7) + 1)) : 0);
            return checkGifData(d, data, h.width * h.height, error);
        }
        if (tag[0] != '\x21')
            return corrupt(error, "unexpected GIF block");
        pos += 2; // introducer and label, then sub-blocks up to a zero length
        for (;;) {
            const QByteArray len = readAt(d, pos, 1);
            if (len.isEmpty())
                return corrupt(error, "GIF extension cut short");
            pos += 1 + u8(len, 0);
            if (u8(len, 0) == 0)
                break;
        }
    }
    return corrupt(error, "GIF has too many extension blocks");
}

int readBmp(QIODevice& d, MagickHeader& h, QString& error) {
    const QByteArray b = readAt(d, 0, 70);
    if (b.size() < 26 || !b.startsWith("BM"))
        return corrupt(error, "not a BMP header");
    const uint32_t infoSize = le32(b, 14);
    int bitCount = 0;
    uint32_t compression = 0;
    if (infoSize == 12) {
        h.width = le16(b, 18);
        h.height = le16(b, 20);
        bitCount = int(le16(b, 24));
    } else if (infoSize >= 40 && b.size() >= 54) {
        h.width = int32_t(le32(b, 18));
        h.height = int32_t(le32(b, 22));
        if (h.height < 0)
            h.height = -h.height; // top-down rows
        bitCount = int(le16(b, 28));
        compression = le32(b, 30);
    } else {
        return corrupt(error, "BMP information header of unknown size");
    }
    if (h.width <= 0 || h.height <= 0)
        return corrupt(error, "BMP with no pixels");
    // Alpha exists only where a mask says so: in a V3+ header or after a 40-byte header
    // with BI_ALPHABITFIELDS.
    bool alpha = false;
    if ((compression == 3 || compression == 6) && b.size() >= 70 && (infoSize >= 56 || compression == 6))
        alpha = le32(b, 66) != 0;
    switch (bitCount) {
    case 1: case 2: case 4: case 8:
        setPalette(h, bitCount);
        break;
    case 16: case 24:
        h.bitsPerPixel = alpha ? 32 : 24;
        break;
    case 32:
        h.bitsPerPixel = alpha ? 32 : 24;
        break;
    case 0: // embedded JPEG/PNG
        if (compression == 4 || compression == 5) {
            h.bitsPerPixel = 24;
            break;
        }
        return corrupt(error, "BMP with no bit count");
    default:
        return unsupported(error, "BMP bit count not supported");
    }
    return ApOk;
}

int readPcxAt(QIODevice& d, int64_t offset, MagickHeader& h, QString& error) {
    const QByteArray b = readAt(d, offset, 128);
    if (b.size() < 128 || u8(b, 0) != 0x0A || u8(b, 2) > 1)
        return corrupt(error, "not a PCX header");
    const int bits = int(u8(b, 3));
    const int planes = int(u8(b, 65));
    const int64_t xmin = le16(b, 4), ymin = le16(b, 6), xmax = le16(b, 8), ymax = le16(b, 10);
    if (xmax < xmin || ymax < ymin)
        return corrupt(error, "PCX window is empty");
    h.width = xmax - xmin + 1;
    h.height = ymax - ymin + 1;
    if (planes < 1 || planes > 4 || (bits != 1 && bits != 2 && bits != 4 && bits != 8))
        return unsupported(error, "PCX plane layout not supported");
    if (bits == 8 && planes >= 3)
        h.bitsPerPixel = 8 * planes; // RGB, RGBA
    else if (bits * planes <= 8)
        setPalette(h, bits * planes);
    else
        return unsupported(error, "PCX plane layout not supported");
    h.pageOffset = offset;
    return ApOk;
}

int readPsd(QIODevice& d, MagickHeader& h, QString& error) {
    const QByteArray b = readAt(d, 0, 26);
    if (b.size() < 26 || !b.startsWith("8BPS") || (be16(b, 4) != 1 && be16(b, 4) != 2))
        return corrupt(error, "not a PSD header");
    const int channels = int(be16(b, 12));
    h.height = be32(b, 14);
    h.width = be32(b, 18);
    const int depth = int(be16(b, 22));
    const int mode = int(be16(b, 24));
    if (channels < 1 || channels > 56 || h.width == 0 || h.height == 0)
        return corrupt(error, "PSD header out of range");
    if (depth != 1 && depth != 8 && depth != 16 && depth != 32)
        return corrupt(error, "PSD depth out of range");
    h.sixteenBit = depth > 8;
    const int sample = depth > 8 ? 16 : 8;
    switch (mode) {
    case 0: // bitmap
        h.bitsPerPixel = 1;
        break;
    case 1: case 8: // greyscale, duotone
        h.bitsPerPixel = (channels >= 2 ? 2 : 1) * sample;
        break;
    case 2: // indexed
        setPalette(h, 8);
        break;
    case 3: case 9: // RGB, Lab
        h.bitsPerPixel = (channels >= 4 ? 4 : 3) * sample;
        break;
    case 4: // CMYK
        h.bitsPerPixel = 4 * sample;
        break;
    case 7: // multichannel
        h.bitsPerPixel = std::min(channels, 4) * sample;
        break;
    default:
        return unsupported(error, "PSD colour mode not supported");
    }
    return ApOk;
}

int readIco(QIODevice& d, MagickHeader& h, QByteArray& entry, QString& error) {
    const QByteArray b = readAt(d, 0, 6);
    if (b.size() < 6 || le16(b, 0) != 0 || (le16(b, 2) != 1 && le16(b, 2) != 2) || le16(b, 4) == 0)
        return corrupt(error, "not an ICO header");
    const int count = int(le16(b, 4));
    const QByteArray dir = readAt(d, 6, int64_t(count) * 16);
    if (dir.size() < count * 16)
        return corrupt(error, "ICO directory cut short");
    // The largest entry by area, then by depth, is the one we keep.
    int best = -1;
    int64_t bestArea = 0;
    int bestBits = -1;
    for (int i = 0; i < count; ++i) {
        const int o = i * 16;
        const int64_t w = u8(dir, o) ? u8(dir, o) : 256;
        const int64_t hh = u8(dir, o + 1) ? u8(dir, o + 1) : 256;
        const int bits = int(le16(dir, o + 6));
        if (best < 0 || w * hh > bestArea || (w * hh == bestArea && bits > bestBits)) {
            best = i;
            bestArea = w * hh;
            bestBits = bits;
        }
    }
    entry = dir.mid(best * 16, 16);
    h.pageLength = le32(entry, 8);
    h.pageOffset = le32(entry, 12);
    const QByteArray img = readAt(d, h.pageOffset, 32);
    if (h.pageLength < 16 || img.size() < 16)
        return corrupt(error, "ICO entry outside the file");
    if (img.startsWith("\x89PNG")) {
        if (img.size() < 26)
            return corrupt(error, "ICO PNG entry cut short");
        h.width = be32(img, 16);
        h.height = be32(img, 20);
        const int depth = int(u8(img, 24));
        switch (u8(img, 25)) {
        case 0: h.bitsPerPixel = depth; break;
        case 2: h.bitsPerPixel = 3 * depth; break;
        case 3: setPalette(h, depth); break;
        case 4: h.bitsPerPixel = 2 * depth; break;
        case 6: h.bitsPerPixel = 4 * depth; break;
        default: return corrupt(error, "ICO PNG entry of unknown colour type");
        }
        h.sixteenBit = depth == 16;
        return ApOk;
    }
    if (le32(img, 0) < 40)
        return corrupt(error, "ICO bitmap entry without an information header");
    h.width = int32_t(le32(img, 4));
    h.height = int32_t(le32(img, 8)) / 2; // colour rows plus mask rows
    const int bits = int(le16(img, 14));
    if (h.width <= 0 || h.height <= 0)
        return corrupt(error, "ICO bitmap entry with no pixels");
    switch (bits) {
    case 1: case 2: case 4: case 8: setPalette(h, bits); break;
    case 16: case 24: h.bitsPerPixel = 24; break;
    case 32: h.bitsPerPixel = 32; break;
    default: return unsupported(error, "ICO bit count not supported");
    }
    return ApOk;
}

// PNM header tokens, skipping white space and comments.
class PnmTokens {
public:
    explicit PnmTokens(QByteArray data) : m_data(std::move(data)), m_pos(2) {}
    QByteArray next() {
        for (;;) {
            while (m_pos < m_data.size() && isspace(static_cast<unsigned char>(m_data[m_pos])))
                ++m_pos;
            if (m_pos < m_data.size() && m_data[m_pos] == '#') {
                while (m_pos < m_data.size() && m_data[m_pos] != '\n' && m_data[m_pos] != '\r')
                    ++m_pos;
                continue;
            }
            break;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_data.size() && !isspace(static_cast<unsigned char>(m_data[m_pos])) && m_data[m_pos] != '#')
            ++m_pos;
        return m_data.mid(start, m_pos - start);
    }
    int64_t number(bool& ok) {
        const QByteArray t = next();
        const qlonglong v = t.toLongLong(&ok);
        ok = ok && v >= 0;
        return v;
    }

private:
    QByteArray m_data;
    qsizetype m_pos;
};

int readPnm(QIODevice& d, MagickHeader& h, QString& error) {
    const QByteArray b = readAt(d, 0, 64 * 1024);
    if (b.size() < 3 || b[0] != 'P' || b[1] < '1' || b[1] > '7')
        return b.size() >= 2 && b[0] == 'P' ? unsupported(error, "PNM variant not supported")
                                            : corrupt(error, "not a PNM header");
    const char kind = b[1];
    PnmTokens t(b);
    bool ok1 = true, ok2 = true, ok3 = true;
    int64_t maxval = 1;
    int depth = 1;
    if (kind == '7') {
        QByteArray tupl;
        for (int guard = 0; guard < 64; ++guard) {
            const QByteArray key = t.next();
            if (key.isEmpty())
                return corrupt(error, "PAM header cut short");
            if (key == "ENDHDR")
                break;
            bool ok = true;
            if (key == "WIDTH") h.width = t.number(ok);
            else if (key == "HEIGHT") h.height = t.number(ok);
            else if (key == "DEPTH") depth = int(t.number(ok));
            else if (key == "MAXVAL") maxval = t.number(ok);
            else if (key == "TUPLTYPE") tupl = t.next();
            if (!ok)
                return corrupt(error, "PAM header value is not a number");
        }
        if (depth < 1 || depth > 4 || maxval < 1 || maxval > 65535)
            return corrupt(error, "PAM header out of range");
        const int sample = maxval > 255 ? 16 : 8;
        h.sixteenBit = sample == 16;
        h.bitsPerPixel = (depth == 1 && maxval == 1) ? 1 : depth * sample;
    } else {
        h.width = t.number(ok1);
        h.height = t.number(ok2);
        if (kind != '1' && kind != '4')
            maxval = t.number(ok3);
        if (!ok1 || !ok2 || !ok3 || maxval < 1 || maxval > 65535)
            return corrupt(error, "PNM header out of range");
        const int sample = maxval > 255 ? 16 : 8;
        h.sixteenBit = sample == 16;
        if (kind == '1' || kind == '4')
            h.bitsPerPixel = 1;
        else if (kind == '2' || kind == '5')
            h.bitsPerPixel = sample;
        else
            h.bitsPerPixel = 3 * sample;
    }
    if (h.width == 0 || h.height == 0)
        return corrupt(error, "PNM with no pixels");
    return ApOk;
}

int readPcd(QIODevice& d, MagickHeader& h, QString& error) {
    if (readAt(d, 2048, 7) != "PCD_IPI")
        return corrupt(error, "not a Photo CD image pack");
    h.width = 768; // the base image
    h.height = 512;
    h.bitsPerPixel = 24;
    return ApOk;
}

int readTga(QIODevice& d, MagickHeader& h, QString& error) {
    const QByteArray b = readAt(d, 0, 18);
    if (b.size() < 18)
        return corrupt(error, "TGA header cut short");
    const int mapType = int(u8(b, 1));
    const int type = int(u8(b, 2));
    const int mapEntryBits = int(u8(b, 7));
    h.width = le16(b, 12);
    h.height = le16(b, 14);
    const int depth = int(u8(b, 16));
    const int alphaBits = int(u8(b, 17) & 0x0F);
    if (mapType > 1 || h.width == 0 || h.height == 0)
        return corrupt(error, "TGA header out of range");
    switch (type) {
    case 1: case 9: // colour-mapped
        if (mapType != 1 || (depth != 8 && depth != 16))
            return corrupt(error, "TGA colour map missing");
        if (depth == 8)
            setPalette(h, 8);
        else
            h.bitsPerPixel = 24;
        if (mapEntryBits == 32)
            h.bitsPerPixel = depth == 8 ? 8 : 32;
        break;
    case 2: case 10: // true colour
        if (depth != 15 && depth != 16 && depth != 24 && depth != 32)
            return corrupt(error, "TGA pixel depth out of range");
        h.bitsPerPixel = alphaBits > 0 && depth != 24 ? 32 : 24;
        break;
    case 3: case 11: // grey
        if (depth != 8 && depth != 16)
            return corrupt(error, "TGA pixel depth out of range");
        h.bitsPerPixel = depth; // 16: grey with alpha
        break;
    default:
        return unsupported(error, "TGA image type not supported");
    }
    return ApOk;
}

} // namespace

int readDcxOffsets(QIODevice& device, std::vector<int64_t>& offsets, QString& error) {
    offsets.clear();
    const QByteArray b = readAt(device, 0, 4 + 1024 * 4);
    if (b.size() < 8 || le32(b, 0) != 0x3ADE68B1u)
        return corrupt(error, "not a DCX header");
    for (int i = 4; i + 4 <= b.size() && offsets.size() < 1023; i += 4) {
        const uint32_t off = le32(b, i);
        if (off == 0)
            break;
        offsets.push_back(off);
    }
    if (offsets.empty())
        return corrupt(error, "DCX without pages");
    return ApOk;
}

int readMagickHeader(QIODevice& device, ImageFormat format, MagickHeader& header, QString& error) {
    header = MagickHeader();
    switch (format) {
    case ImageFormat::Gif: return readGif(device, header, error);
    case ImageFormat::Bmp: return readBmp(device, header, error);
    case ImageFormat::Pcx: return readPcxAt(device, 0, header, error);
    case ImageFormat::Dcx: {
        std::vector<int64_t> offsets;
        const int rc = readDcxOffsets(device, offsets, error);
        return rc == ApOk ? readPcxAt(device, offsets.front(), header, error) : rc;
    }
    case ImageFormat::Psd: return readPsd(device, header, error);
    case ImageFormat::Ico: return readIco(device, header, header.icoEntry, error);
    case ImageFormat::Pnm: return readPnm(device, header, error);
    case ImageFormat::Pcd: return readPcd(device, header, error);
    case ImageFormat::Tga: return readTga(device, header, error);
    default:
        error = QStringLiteral("not a format read through ImageMagick");
        return ApUnsupported;
    }
}

bool withinLimits(int64_t width, int64_t height, int64_t decodedBytes) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && decodedBytes <= kMaxDecodedBytes;
}

} // namespace imaging
