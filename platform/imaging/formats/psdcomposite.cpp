#include "platform/imaging/formats/psdcomposite.h"

#include "platform/imaging/encoders/pageencoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

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

// Layers are not drawn by us, but ImageMagick sets up and composites every layer a file
// describes, at the size its record claims. Each layer's record and channel data are
// checked here against what the file holds, so the cost follows the file, not its claims.
class LayerCheck {
public:
    LayerCheck(const QByteArray& b, const PsdComposite& c) : b_(b), c_(c), wide_(c.version == 2 ? 8 : 4) {}

    // The layer-and-mask section at [start, start + length).
    int run(qsizetype start, qsizetype length, QString& error) {
        const qsizetype sectionEnd = start + length;
        qsizetype pos = start;
        if (length == 0)
            return ApOk;
        // ImageMagick reads the layer information's length whatever the section claims.
        if (length < wide_)
            return corrupt(error, "PSD layer section too short for its own length field");
        uint64_t infoLength = be(b_, pos, wide_);
        pos += wide_;
        if (infoLength == 0) {
            // 16- and 32-bit files keep their layers in an "Lr16" or "Lr32" block after the
            // global mask's length, where ImageMagick looks for them.
            if (pos + 12 + wide_ > sectionEnd || std::memcmp(b_.constData() + pos + 4, "8BIM", 4) != 0 ||
                (std::memcmp(b_.constData() + pos + 8, "Lr16", 4) != 0 &&
                 std::memcmp(b_.constData() + pos + 8, "Lr32", 4) != 0))
                return ApOk;
            pos += 12;
            infoLength = be(b_, pos, wide_);
            pos += wide_;
        }
        if (infoLength > uint64_t(sectionEnd - pos))
            return corrupt(error, "PSD layer information runs past its section");
        end_ = pos + qsizetype(infoLength);
        if (infoLength < 2)
            return ApOk;
        const int count = std::abs(int(int16_t(be(b_, pos, 2))));
        pos += 2;
        layers_.resize(size_t(count));
        for (int i = 0; i < count; ++i) {
            if (const int rc = readRecord(pos, layers_[size_t(i)], i + 1, error); rc != ApOk)
                return rc;
        }
        int64_t total = 0;
        for (int i = 0; i < count; ++i) {
            if (const int rc = checkChannels(pos, layers_[size_t(i)], i + 1, total, error); rc != ApOk)
                return rc;
        }
        return ApOk;
    }

private:
    struct Rect {
        int64_t width = 0;
        int64_t height = 0;
        bool empty() const { return width == 0 || height == 0; }
    };
    struct Layer {
        Rect bounds;
        Rect mask;     // the user mask (channel -2)
        Rect realMask; // the real user mask (channel -3), when there is one
        std::vector<std::pair<int, uint64_t>> channels; // id, declared length
    };

    bool has(qsizetype pos, qsizetype bytes) const { return pos >= 0 && bytes <= end_ - pos; }

    int readRect(qsizetype at, Rect& r, int layer, QString& error) const {
        const int64_t top = int32_t(be(b_, at, 4)), left = int32_t(be(b_, at + 4, 4));
        const int64_t bottom = int32_t(be(b_, at + 8, 4)), right = int32_t(be(b_, at + 12, 4));
        if (bottom < top || right < left) {
            error = QStringLiteral("PSD layer %1 has bounds turned inside out").arg(layer);
            return ApCorrupt;
        }
        r.width = right - left;
        r.height = bottom - top;
        if (!r.empty() && !withinLimits(r.width, r.height, 0)) {
            error = QStringLiteral("PSD layer %1 of %2 x %3 pixels is over the limits").arg(layer).arg(r.width).arg(r.height);
            return ApOverLimits;
        }
        return ApOk;
    }

    int readRecord(qsizetype& pos, Layer& layer, int n, QString& error) const {
        if (!has(pos, 18))
            return corrupt(error, "PSD layer records run past their section");
        if (const int rc = readRect(pos, layer.bounds, n, error); rc != ApOk)
            return rc;
        const int channels = int(be(b_, pos + 16, 2));
        pos += 18;
        if (!has(pos, qsizetype(channels) * (2 + wide_) + 16))
            return corrupt(error, "PSD layer records run past their section");
        for (int k = 0; k < channels; ++k) {
            layer.channels.emplace_back(int(int16_t(be(b_, pos, 2))), be(b_, pos + 2, wide_));
            pos += 2 + wide_;
        }
        if (std::memcmp(b_.constData() + pos, "8BIM", 4) != 0) {
            error = QStringLiteral("PSD layer %1 lacks its blend mode signature").arg(n);
            return ApCorrupt;
        }
        const qsizetype extra = qsizetype(be(b_, pos + 12, 4));
        pos += 16;
        if (!has(pos, extra))
            return corrupt(error, "PSD layer records run past their section");
        const qsizetype maskLength = extra >= 4 ? qsizetype(be(b_, pos, 4)) : 0;
        if (maskLength > extra - 4 || (maskLength > 0 && maskLength < 18)) {
            error = QStringLiteral("PSD layer %1 has a damaged mask").arg(n);
            return ApCorrupt;
        }
        if (maskLength > 0) {
            if (const int rc = readRect(pos + 4, layer.mask, n, error); rc != ApOk)
                return rc;
            layer.realMask = layer.mask;
            // A real user mask keeps its own bounds in the last 16 bytes of the mask data.
            if (maskLength >= 36) {
                if (const int rc = readRect(pos + 4 + maskLength - 16, layer.realMask, n, error); rc != ApOk)
                    return rc;
                if (layer.mask.width * layer.mask.height < layer.realMask.width * layer.realMask.height)
                    layer.realMask = layer.mask;
            }
        }
        pos += extra;
        return ApOk;
    }

    int checkChannels(qsizetype& pos, const Layer& layer, int n, int64_t& total, QString& error) const {
        const bool pixels = std::any_of(layer.channels.begin(), layer.channels.end(),
                                        [](const auto& channel) { return channel.first >= -1; });
        if (!layer.bounds.empty() && !pixels) {
            error = QStringLiteral("PSD layer %1 claims %2 x %3 pixels but holds no channel")
                        .arg(n).arg(layer.bounds.width).arg(layer.bounds.height);
            return ApCorrupt;
        }
        for (const auto& [id, length] : layer.channels) {
            if (length > uint64_t(end_ - pos)) {
                error = QStringLiteral("PSD layer %1 channel %2 runs past the end of its section").arg(n).arg(id);
                return ApCorrupt;
            }
            const Rect& r = id == -2 ? layer.mask : id < -2 ? layer.realMask : layer.bounds;
            const qsizetype start = pos;
            pos += qsizetype(length);
            // ImageMagick skips the data of an empty layer or mask.
            if (r.empty() || layer.bounds.empty())
                continue;
            const uint64_t rowBytes = (uint64_t(r.width) * uint64_t(c_.depth) + 7) / 8;
            const uint64_t plane = rowBytes * uint64_t(r.height);
            total += int64_t(plane);
            if (total > kMaxDecodedBytes) {
                error = QStringLiteral("PSD layers of more than %1 bytes decoded are over the limits").arg(kMaxDecodedBytes);
                return ApOverLimits;
            }
            const uint64_t held = length >= 2 ? length - 2 : 0;
            const int compression = length >= 2 ? int(be(b_, start, 2)) : -1;
            bool holds = false;
            if (compression == 0) {
                holds = held >= plane;
            } else if (compression == 1) {
                const uint64_t countBytes = c_.version == 2 ? 4 : 2;
                holds = held >= uint64_t(r.height) * (countBytes + (rowBytes + 127) / 128 * 2);
            } else if (compression == 2 || compression == 3) {
                holds = plane <= held * 1032; // deflate expands at most about 1032 times
            }
            if (!holds) {
                error = QStringLiteral("PSD layer %1 claims %2 x %3 pixels but channel %4 holds %5 bytes")
                            .arg(n).arg(r.width).arg(r.height).arg(id).arg(held);
                return ApCorrupt;
            }
        }
        return ApOk;
    }

    const QByteArray& b_;
    const PsdComposite& c_;
    const int wide_;
    qsizetype end_ = 0;
    std::vector<Layer> layers_;
};

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
    return LayerCheck(b, c).run(layers, layersLength, error);
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
