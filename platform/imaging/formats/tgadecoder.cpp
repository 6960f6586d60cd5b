#include "platform/imaging/formats/tgadecoder.h"

#include "platform/imaging/encoders/pageencoder.h"

#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

uint8_t byteAt(const QByteArray& b, qsizetype i) { return static_cast<uint8_t>(b[i]); }
uint32_t le16(const QByteArray& b, qsizetype i) { return byteAt(b, i) | uint32_t(byteAt(b, i + 1)) << 8; }

// 5-5-5 colour (bit 15 an attribute) as 8-bit RGB.
void rgb555(uint32_t v, uint8_t* out) {
    const auto widen = [](uint32_t five) { return uint8_t(five << 3 | five >> 2); };
    out[0] = widen(v >> 10 & 31);
    out[1] = widen(v >> 5 & 31);
    out[2] = widen(v & 31);
}

// One stored pixel or colour-map entry of `bytes` bytes as RGBA.
void colourOf(const uint8_t* p, int bits, uint8_t* rgba) {
    if (bits <= 16) {
        const uint32_t v = p[0] | uint32_t(p[1]) << 8;
        rgb555(v, rgba);
        rgba[3] = (v & 0x8000) ? 255 : 0;
        return;
    }
    rgba[0] = p[2];
    rgba[1] = p[1];
    rgba[2] = p[0];
    rgba[3] = bits == 32 ? p[3] : 255;
}

struct Layout {
    int type = 0;          // 1 colour-mapped, 2 true colour, 3 grey (+8 when run-length encoded)
    int depth = 0;         // bits per stored pixel
    int bytes = 0;         // bytes per stored pixel
    bool alphaBits = false; // the descriptor says the pixels carry alpha
    bool topDown = false;
    bool rightToLeft = false;
    int mapFirst = 0;
    int mapLength = 0;
    int mapBits = 0;
    qsizetype mapOffset = 0;
    qsizetype dataOffset = 0;
};

// Reads stored pixels in file order, whether raw or in run-length packets.
class PixelReader {
public:
    PixelReader(const QByteArray& data, qsizetype offset, int bytes, bool rle)
        : m_data(data), m_pos(offset), m_bytes(bytes), m_rle(rle) {}

    // The next pixel's bytes, or null when the data ends.
    const uint8_t* next() {
        if (m_rle && m_left == 0) {
            if (m_pos >= m_data.size())
                return nullptr;
            const uint8_t head = byteAt(m_data, m_pos++);
            m_left = (head & 0x7F) + 1;
            m_repeat = head & 0x80;
            m_first = true;
        }
        if (m_rle)
            --m_left;
        if (m_repeat && !m_first)
            return m_current;
        m_first = false;
        if (m_pos + m_bytes > m_data.size())
            return nullptr;
        m_current = reinterpret_cast<const uint8_t*>(m_data.constData()) + m_pos;
        m_pos += m_bytes;
        return m_current;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos;
    int m_bytes;
    bool m_rle;
    int m_left = 0;
    bool m_repeat = false;
    bool m_first = false;
    const uint8_t* m_current = nullptr;
};

int readLayout(const QByteArray& tga, Layout& l, QString& error) {
    if (tga.size() < 18) {
        error = QStringLiteral("TGA header cut short");
        return ApCorrupt;
    }
    const int mapType = byteAt(tga, 1);
    l.type = byteAt(tga, 2);
    l.mapFirst = int(le16(tga, 3));
    l.mapLength = int(le16(tga, 5));
    l.mapBits = byteAt(tga, 7);
    l.depth = byteAt(tga, 16);
    l.bytes = (l.depth + 7) / 8;
    const uint8_t descriptor = byteAt(tga, 17);
    l.alphaBits = (descriptor & 0x0F) != 0;
    l.rightToLeft = descriptor & 0x10;
    l.topDown = descriptor & 0x20;
    l.mapOffset = 18 + qsizetype(byteAt(tga, 0));
    const qsizetype mapBytes = mapType == 1 ? qsizetype(l.mapLength) * ((l.mapBits + 7) / 8) : 0;
    l.dataOffset = l.mapOffset + mapBytes;
    const int base = l.type & 7;
    const bool mapped = base == 1;
    const bool mapOk = !mapped || (mapType == 1 && l.mapLength > 0 &&
                                   (l.mapBits == 15 || l.mapBits == 16 || l.mapBits == 24 || l.mapBits == 32) &&
                                   (l.depth == 8 || l.depth == 16));
    const bool depthOk = (base == 2 && (l.depth == 15 || l.depth == 16 || l.depth == 24 || l.depth == 32)) ||
                         (base == 3 && (l.depth == 8 || l.depth == 16)) || mapped;
    if ((base != 1 && base != 2 && base != 3) || (l.type & ~0x0B) != 0) {
        error = QStringLiteral("TGA image type not supported");
        return ApUnsupported;
    }
    if (!mapOk || !depthOk || l.dataOffset > tga.size()) {
        error = QStringLiteral("TGA header out of range");
        return ApCorrupt;
    }
    return ApOk;
}

} // namespace

int decodeTga(const QByteArray& tga, const MagickHeader& header, RasterPage& page, QString& error) {
    Layout l;
    if (const int rc = readLayout(tga, l, error); rc != ApOk)
        return rc;
    const int width = int(header.width), height = int(header.height);
    const size_t pixels = size_t(width) * size_t(height);
    const bool rle = l.type & 8;
    // What the page needs must be in the file before the page is allocated: every pixel raw,
    // or at least one packet (a count and one pixel) per 128 pixels when run-length encoded.
    const uint64_t available = uint64_t(tga.size() - l.dataOffset);
    const uint64_t needed = rle ? (pixels + 127) / 128 * uint64_t(1 + l.bytes) : pixels * uint64_t(l.bytes);
    if (available < needed) {
        error = QStringLiteral("TGA image data missing from the file");
        return ApCorrupt;
    }

    // The colour map as RGBA entries, indexed by the stored value.
    const int base = l.type & 7;
    std::vector<uint8_t> map;
    if (base == 1) {
        const int entryBytes = (l.mapBits + 7) / 8;
        const size_t entries = size_t(l.mapFirst) + size_t(l.mapLength);
        map.assign(entries * 4, 0);
        for (int i = 0; i < l.mapLength; ++i)
            colourOf(reinterpret_cast<const uint8_t*>(tga.constData()) + l.mapOffset + qsizetype(i) * entryBytes,
                     l.mapBits, map.data() + (size_t(l.mapFirst) + size_t(i)) * 4);
    }
    const bool mapAlpha = base == 1 && l.mapBits == 32;
    const bool indexed = base == 1 && l.depth == 8 && map.size() <= 256 * 4;
    const bool grey = base == 3;
    const bool alpha = (base == 2 && l.alphaBits && (l.depth == 16 || l.depth == 32)) || (grey && l.depth == 16) ||
                       mapAlpha;
    const int channels = indexed || grey ? 1 : 3;

    page = RasterPage();
    page.width = width;
    page.height = height;
    page.model = indexed ? ColourModel::Indexed : grey ? ColourModel::Gray : ColourModel::RGB;
    page.bitsPerComponent = 8;
    page.storedBitsPerPixel = header.bitsPerPixel;
    page.pixels.resize(pixels * size_t(channels));
    if (alpha)
        page.alpha.resize(pixels);
    if (indexed) {
        const size_t entries = map.size() / 4;
        page.palette.resize(entries * 3);
        for (size_t i = 0; i < entries; ++i)
            std::memcpy(page.palette.data() + 3 * i, map.data() + 4 * i, 3);
    }

    PixelReader reader(tga, l.dataOffset, l.bytes, rle);
    const size_t entries = map.size() / 4;
    uint8_t rgba[4];
    for (int row = 0; row < height; ++row) {
        // Rows are stored bottom first unless the origin is at the top.
        const size_t y = size_t(l.topDown ? row : height - 1 - row);
        for (int column = 0; column < width; ++column) {
            const uint8_t* p = reader.next();
            if (!p) {
                error = QStringLiteral("TGA image data cut short");
                return ApCorrupt;
            }
            const size_t at = y * size_t(width) + size_t(l.rightToLeft ? width - 1 - column : column);
            if (grey) {
                page.pixels[at] = p[0];
                if (alpha)
                    page.alpha[at] = p[1];
                continue;
            }
            if (base == 1) {
                size_t index = l.depth == 8 ? p[0] : size_t(p[0] | p[1] << 8);
                if (index >= entries)
                    index = entries - 1; // out-of-range indices take the last colour
                if (indexed)
                    page.pixels[at] = uint8_t(index);
                else
                    std::memcpy(page.pixels.data() + at * 3, map.data() + index * 4, 3);
                if (alpha)
                    page.alpha[at] = map[index * 4 + 3];
                continue;
            }
            colourOf(p, l.depth, rgba);
            std::memcpy(page.pixels.data() + at * 3, rgba, 3);
            if (alpha)
                page.alpha[at] = rgba[3];
        }
    }
    // An alpha that hides every pixel is a writer that left it unset, not a blank picture.
    if (alpha && (isOpaque(page.alpha) ||
                  std::all_of(page.alpha.begin(), page.alpha.end(), [](uint8_t a) { return a == 0; })))
        page.alpha.clear();
    narrowModel(page);
    return ApOk;
}

} // namespace imaging
