#include "platform/imaging/psdcomposite.h"

#include "platform/imaging/pageencoder.h"

#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

// Big-endian reads; callers check the size first.
uint64_t be(const QByteArray& b, qsizetype at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

int corrupt(QString& error, const char* what) {
    error = QString::fromLatin1(what);
    return ApCorrupt;
}

// Skips a section that starts with its length; false when it runs past the file.
bool skipSection(const QByteArray& b, qsizetype& pos, int lengthBytes, qsizetype* start = nullptr,
                 qsizetype* length = nullptr) {
    if (pos + lengthBytes > b.size())
        return false;
    const uint64_t n = be(b, pos, lengthBytes);
    pos += lengthBytes;
    if (n > uint64_t(b.size() - pos))
        return false;
    if (start)
        *start = pos;
    if (length)
        *length = qsizetype(n);
    pos += qsizetype(n);
    return true;
}

size_t rowBytesOf(const PsdComposite& c) {
    return size_t((uint64_t(c.width) * uint64_t(c.depth) + 7) / 8);
}

// Resolution (ResolutionInfo, 0x03ED) and ICC profile (0x040F) among the image resources.
void readResources(const QByteArray& b, const PsdComposite& c, RasterPage& page) {
    qsizetype pos = c.resources;
    const qsizetype end = c.resources + c.resourcesLength;
    while (pos + 12 <= end && std::memcmp(b.constData() + pos, "8BIM", 4) == 0) {
        const int id = int(be(b, pos + 4, 2));
        const qsizetype nameLength = static_cast<uint8_t>(b[pos + 6]);
        qsizetype at = pos + 6 + ((nameLength + 2) & ~qsizetype(1)); // Pascal name, padded to even
        if (at + 4 > end)
            return;
        const uint64_t size = be(b, at, 4);
        at += 4;
        if (size > uint64_t(end - at))
            return;
        if (id == 0x03ED && size >= 16) {
            const double x = double(be(b, at, 4)) / 65536.0, y = double(be(b, at + 8, 4)) / 65536.0;
            const bool cm = be(b, at + 4, 2) == 2;
            page.dpiX = cm ? x * 2.54 : x;
            page.dpiY = cm ? y * 2.54 : y;
        } else if (id == 0x040F) {
            page.icc = b.mid(at, qsizetype(size));
        }
        pos = at + ((qsizetype(size) + 1) & ~qsizetype(1));
    }
}

// One channel's plane into `plane` (raw samples, rows of rowBytes), decoding PackBits rows.
bool readPlane(const QByteArray& b, const PsdComposite& c, int channel, qsizetype& pos, std::vector<uint8_t>& plane) {
    const size_t rowBytes = rowBytesOf(c);
    plane.resize(rowBytes * size_t(c.height));
    if (c.compression == 0) {
        std::memcpy(plane.data(), b.constData() + pos, plane.size());
        pos += qsizetype(plane.size());
        return true;
    }
    const int countBytes = c.version == 2 ? 4 : 2;
    for (int64_t y = 0; y < c.height; ++y) {
        const qsizetype count = qsizetype(be(b, c.data + (qsizetype(channel) * c.height + y) * countBytes, countBytes));
        const uint8_t* in = reinterpret_cast<const uint8_t*>(b.constData()) + pos;
        const uint8_t* inEnd = in + count;
        uint8_t* out = plane.data() + size_t(y) * rowBytes;
        uint8_t* outEnd = out + rowBytes;
        while (in < inEnd && out < outEnd) {
            const int n = int(int8_t(*in++));
            if (n >= 0) {
                const qsizetype literal = std::min<qsizetype>(n + 1, std::min(inEnd - in, outEnd - out));
                std::memcpy(out, in, size_t(literal));
                in += literal;
                out += literal;
            } else if (n != -128 && in < inEnd) {
                const qsizetype run = std::min<qsizetype>(1 - n, outEnd - out);
                std::memset(out, *in++, size_t(run));
                out += run;
            }
        }
        if (out != outEnd)
            return false;
        pos += count;
    }
    return true;
}

} // namespace

int locatePsdComposite(const QByteArray& b, PsdComposite& c, QString& error) {
    if (b.size() < 26 || !b.startsWith("8BPS"))
        return corrupt(error, "not a PSD header");
    c.version = int(be(b, 4, 2));
    c.channels = int(be(b, 12, 2));
    c.height = int64_t(be(b, 14, 4));
    c.width = int64_t(be(b, 18, 4));
    c.depth = int(be(b, 22, 2));
    c.mode = int(be(b, 24, 2));
    if ((c.version != 1 && c.version != 2) || c.channels < 1 || c.width < 1 || c.height < 1 ||
        (c.depth != 1 && c.depth != 8 && c.depth != 16 && c.depth != 32))
        return corrupt(error, "PSD header out of range");
    const int wide = c.version == 2 ? 8 : 4;
    qsizetype pos = 26;
    qsizetype layers = 0, layersLength = 0;
    if (!skipSection(b, pos, 4) || !skipSection(b, pos, 4, &c.resources, &c.resourcesLength) ||
        !skipSection(b, pos, wide, &layers, &layersLength))
        return corrupt(error, "PSD sections run past the end of the file");
    // Layer info: its length, then the layer count.
    if (layersLength >= wide + 2 && be(b, layers, wide) >= 2)
        c.mergedAlpha = int16_t(be(b, layers + wide, 2)) < 0;
    if (pos + 2 > b.size())
        return corrupt(error, "PSD without its composite image");
    c.compression = int(be(b, pos, 2));
    c.data = pos + 2;
    const uint64_t available = uint64_t(b.size() - c.data);
    const uint64_t rowBytes = rowBytesOf(c);
    const uint64_t rows = uint64_t(c.channels) * uint64_t(c.height);
    if (c.compression == 0) {
        if (rows * rowBytes > available)
            return corrupt(error, "PSD image data missing from the file");
    } else if (c.compression == 1) {
        const uint64_t countBytes = c.version == 2 ? 4 : 2;
        if (rows * countBytes > available)
            return corrupt(error, "PSD image data missing from the file");
        const uint64_t leastRow = (rowBytes + 127) / 128 * 2;
        uint64_t total = rows * countBytes;
        for (uint64_t i = 0; i < rows; ++i) {
            const uint64_t count = be(b, c.data + qsizetype(i * countBytes), int(countBytes));
            if (count < leastRow)
                return corrupt(error, "PSD image data missing from the file");
            total += count;
        }
        if (total > available)
            return corrupt(error, "PSD image data missing from the file");
    } else if (c.compression != 2 && c.compression != 3) {
        error = QStringLiteral("PSD composite compression not supported");
        return ApUnsupported;
    }
    // Deflated composites (rare) are left to ImageMagick as they are.
    return ApOk;
}

bool decodesPsdComposite(const PsdComposite& c) {
    return c.mode == 3 && c.channels >= 4 && (c.depth == 8 || c.depth == 16) && c.compression <= 1;
}

int decodePsdComposite(const QByteArray& b, const PsdComposite& c, const MagickHeader& header, RasterPage& page,
                       QString& error) {
    const size_t pixels = size_t(c.width) * size_t(c.height);
    const size_t bytes = size_t(c.depth / 8);
    page = RasterPage();
    page.width = int(c.width);
    page.height = int(c.height);
    page.model = ColourModel::RGB;
    page.bitsPerComponent = c.depth;
    page.storedBitsPerPixel = header.bitsPerPixel;
    readResources(b, c, page);
    // Planes one at a time into the interleaved page; the alpha plane last, when it counts.
    page.pixels.resize(pixels * 3 * bytes);
    qsizetype pos = c.data + (c.compression == 1 ? qsizetype(c.channels) * c.height * (c.version == 2 ? 4 : 2) : 0);
    std::vector<uint8_t> plane;
    for (int channel = 0; channel < 3; ++channel) {
        if (!readPlane(b, c, channel, pos, plane))
            return corrupt(error, "PSD image data damaged");
        for (size_t i = 0; i < pixels; ++i)
            std::memcpy(page.pixels.data() + (i * 3 + size_t(channel)) * bytes, plane.data() + i * bytes, bytes);
    }
    if (c.mergedAlpha) {
        if (!readPlane(b, c, 3, pos, plane))
            return corrupt(error, "PSD image data damaged");
        const uint32_t full = bytes == 2 ? 65535 : 255;
        const auto sample = [&](const uint8_t* p) { return bytes == 2 ? uint32_t(p[0] << 8 | p[1]) : uint32_t(p[0]); };
        // Photoshop stores the composite matted against white; other writers store plain
        // colours. Matted colours can be no darker than the white showing through.
        bool matted = true;
        for (size_t i = 0; i < pixels && matted; ++i) {
            const uint32_t a = sample(plane.data() + i * bytes);
            for (size_t k = 0; k < 3 && matted; ++k)
                matted = sample(page.pixels.data() + (i * 3 + k) * bytes) + 1 + full / 255 >= full - a;
        }
        if (!matted) {
            for (size_t i = 0; i < pixels; ++i) {
                const uint64_t a = sample(plane.data() + i * bytes);
                for (size_t k = 0; k < 3; ++k) {
                    uint8_t* p = page.pixels.data() + (i * 3 + k) * bytes;
                    const uint64_t v = (sample(p) * a + uint64_t(full) * (full - a) + full / 2) / full;
                    if (bytes == 2) {
                        p[0] = uint8_t(v >> 8);
                        p[1] = uint8_t(v);
                    } else {
                        p[0] = uint8_t(v);
                    }
                }
            }
        }
    }
    narrowModel(page);
    return ApOk;
}

} // namespace imaging
