#include "platform/imaging/formats/jpegheader.h"

#include "platform/imaging/formats/raster.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <map>

namespace imaging {

namespace {

uint16_t be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

// A bounds-checked reader of the TIFF structure inside EXIF.
struct ExifReader {
    const uint8_t* d;
    size_t n;
    bool little;
    uint32_t u16(size_t at) const {
        if (at + 2 > n) return 0;
        return little ? uint32_t(d[at] | d[at + 1] << 8) : uint32_t(d[at] << 8 | d[at + 1]);
    }
    uint32_t u32(size_t at) const {
        if (at + 4 > n) return 0;
        return little ? uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 |
                            uint32_t(d[at + 3]) << 24
                      : uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 |
                            uint32_t(d[at + 3]);
    }
    double rational(size_t entry) const {
        const uint32_t off = u32(entry + 8);
        const uint32_t num = u32(off), den = u32(size_t(off) + 4);
        return den ? double(num) / den : 0.0;
    }
};

// The blocks of every component, from the frame header's sampling factors.
void countBlocks(const uint8_t* sof, JpegInfo& info) {
    const uint64_t width = uint64_t(info.width), height = uint64_t(info.height);
    info.maxH = info.maxV = 1;
    for (int c = 0; c < info.components; ++c) {
        info.maxH = std::max(info.maxH, sof[7 + 3 * c] >> 4);
        info.maxV = std::max(info.maxV, sof[7 + 3 * c] & 15);
    }
    info.blocks = 0;
    for (int c = 0; c < info.components; ++c) {
        const uint64_t h = std::max(1, sof[7 + 3 * c] >> 4), v = std::max(1, sof[7 + 3 * c] & 15);
        const uint64_t w = (width * h + uint64_t(info.maxH) - 1) / uint64_t(info.maxH);
        const uint64_t ht = (height * v + uint64_t(info.maxV) - 1) / uint64_t(info.maxV);
        info.blocks += (w + 7) / 8 * ((ht + 7) / 8);
    }
}

} // namespace

void parseExif(const uint8_t* data, size_t size, int& orientation, double& dpiX, double& dpiY) {
    if (size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) return;
    const ExifReader r{data, size, data[0] == 'I'};
    const uint32_t ifd = r.u32(4);
    const uint32_t count = r.u16(ifd);
    double xres = 0, yres = 0;
    int unit = 2;
    for (uint32_t i = 0; i < count && i < 512; ++i) {
        const size_t e = size_t(ifd) + 2 + 12 * size_t(i);
        if (e + 12 > size) break;
        switch (r.u16(e)) {
        case 0x0112: {
            const int o = int(r.u16(e + 8));
            if (o >= 1 && o <= 8) orientation = o;
            break;
        }
        case 0x011A:
            xres = r.rational(e);
            break;
        case 0x011B:
            yres = r.rational(e);
            break;
        case 0x0128:
            unit = int(r.u16(e + 8));
            break;
        default:
            break;
        }
    }
    if (unit == 2 || unit == 3) {
        const double f = unit == 3 ? 2.54 : 1.0;
        dpiX = xres * f;
        dpiY = yres * f;
    }
}

int parseJpeg(const uint8_t* d, size_t n, bool findEnd, JpegInfo& info, QString* error) {
    auto fail = [&](int code, const char* text) {
        if (error) *error = QString::fromLatin1(text);
        return code;
    };
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return fail(ApCorrupt, "not a JPEG stream");
    std::map<int, QByteArray> iccChunks;
    bool jfifDensity = false;
    bool sawScan = false;
    size_t pos = 2;
    while (true) {
        // Find the next marker; fill bytes 0xFF may repeat.
        if (pos >= n || d[pos] != 0xFF)
            return fail(ApCorrupt, "JPEG marker expected but not found (truncated or damaged)");
        while (pos < n && d[pos] == 0xFF)
            ++pos;
        if (pos >= n) return fail(ApCorrupt, "JPEG ends inside a marker");
        const int marker = d[pos++];
        if (marker == 0xD9) { // EOI
            if (!sawScan) return fail(ApCorrupt, "JPEG has no image data");
            info.imageEnd = pos;
            break;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // standalone markers
        if (pos + 2 > n) return fail(ApCorrupt, "JPEG truncated in a marker segment");
        const size_t len = be16(d + pos);
        if (len < 2 || pos + len > n) return fail(ApCorrupt, "JPEG truncated in a marker segment");
        const uint8_t* seg = d + pos + 2;
        const size_t segLen = len - 2;
        if (!(marker >= 0xE0 && marker <= 0xEF) && marker != 0xFE)
            info.segments.push_back({marker, pos - 2, len + 2});
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (info.frameMarker == 0) {
                if (segLen < 6) return fail(ApCorrupt, "JPEG frame header too short");
                info.frameMarker = marker;
                info.precision = seg[0];
                info.height = be16(seg + 1);
                info.width = be16(seg + 3);
                info.components = seg[5];
                if (segLen < 6 + 3 * size_t(info.components) || info.width == 0 || info.components == 0)
                    return fail(ApCorrupt, "JPEG frame header is damaged");
                info.rgbComponentIds =
                    info.components == 3 && seg[6] == 'R' && seg[9] == 'G' && seg[12] == 'B';
                countBlocks(seg, info);
            }
        } else if (marker == 0xE0 && segLen >= 12 && std::memcmp(seg, "JFIF\0", 5) == 0) {
            const int units = seg[7];
            if (units == 1 || units == 2) {
                const double f = units == 2 ? 2.54 : 1.0;
                info.dpiX = be16(seg + 8) * f;
                info.dpiY = be16(seg + 10) * f;
                jfifDensity = true;
            }
        } else if (marker == 0xE1 && segLen >= 6 && std::memcmp(seg, "Exif\0\0", 6) == 0) {
            double x = 0, y = 0;
            parseExif(seg + 6, segLen - 6, info.orientation, x, y);
            if (!jfifDensity && x > 0 && y > 0) {
                info.dpiX = x;
                info.dpiY = y;
            }
        } else if (marker == 0xE2 && segLen > 14 && std::memcmp(seg, "ICC_PROFILE\0", 12) == 0) {
            iccChunks[seg[12]].append(reinterpret_cast<const char*>(seg + 14), qsizetype(segLen - 14));
        } else if (marker == 0xEE && segLen >= 12 && std::memcmp(seg, "Adobe", 5) == 0) {
            info.adobe = true;
            info.adobeTransform = seg[11];
        }
        pos += len;
        if (marker != 0xDA) continue;
        // Start of scan: without findEnd the header is all we wanted.
        sawScan = true;
        if (info.frameMarker == 0) return fail(ApCorrupt, "JPEG scan before its frame header");
        if (!findEnd) {
            info.imageEnd = 0;
            break;
        }
        // Entropy-coded data runs to the next marker other than RSTn or a stuffed 0xFF00.
        const size_t dataStart = pos;
        uint64_t markerBytes = 0;
        while (true) {
            const void* hit = std::memchr(d + pos, 0xFF, n - pos);
            if (!hit) return fail(ApCorrupt, "JPEG ends before its end-of-image marker");
            pos = size_t(static_cast<const uint8_t*>(hit) - d);
            if (pos + 1 >= n) return fail(ApCorrupt, "JPEG ends before its end-of-image marker");
            const uint8_t next = d[pos + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
                if (next != 0x00) markerBytes += next == 0xFF ? 1 : 2;
                pos += next == 0xFF ? 1 : 2;
                continue;
            }
            break;
        }
        info.entropyBytes += pos - dataStart - markerBytes;
    }
    if (info.width <= 0 || info.height <= 0) return fail(ApCorrupt, "JPEG has no frame header");
    for (const auto& [seq, chunk] : iccChunks)
        info.icc.append(chunk);
    return ApOk;
}

} // namespace imaging
