// Decoding one TIFF directory into a RasterPage: our own sample unpacking for the usual
// photometrics (keeping 16 bits, CMYK and palettes), libtiff's RGBA interface for the rest.
#include "platform/imaging/tiffreader.h"

#include <cstring>

namespace imaging {

namespace {

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    int colours = 1;      // colour samples per pixel (1, 3 or 4)
    int alphaSample = -1; // index of the alpha sample, or -1
    bool premultiplied = false;
};

// Reads the stored samples of one plane (or of all, when contiguous) into `out`, rows packed
// as libtiff returns them (scanline size).
bool readPlane(TIFF* t, const Layout& l, uint16_t plane, size_t rowBytes, std::vector<uint8_t>& out) {
    out.assign(rowBytes * l.height, 0);
    if (TIFFIsTiled(t)) {
        uint32_t tw = 0, th = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
        const tmsize_t tileSize = TIFFTileSize(t);
        const size_t tileRow = size_t(TIFFTileRowSize64(t));
        if (tw == 0 || th == 0 || tileSize <= 0) return false;
        std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
        const int perPixelBits = l.bps * (l.planar == PLANARCONFIG_CONTIG ? l.spp : 1);
        for (uint32_t y = 0; y < l.height; y += th)
            for (uint32_t x = 0; x < l.width; x += tw) {
                if (TIFFReadTile(t, tile.data(), x, y, 0, plane) < 0) return false;
                const size_t startByte = size_t(x) * size_t(perPixelBits) / 8;
                const size_t copy = std::min(tileRow, rowBytes - startByte);
                for (uint32_t r = 0; r < th && y + r < l.height; ++r)
                    std::memcpy(out.data() + size_t(y + r) * rowBytes + startByte, tile.data() + r * tileRow,
                                copy);
            }
        return true;
    }
    uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::min(std::max<uint32_t>(rowsPerStrip, 1), l.height);
    const uint32_t stripsPerPlane = (l.height + rowsPerStrip - 1) / rowsPerStrip;
    for (uint32_t s = 0; s < stripsPerPlane; ++s) {
        const uint32_t row = s * rowsPerStrip;
        const size_t want = size_t(std::min(rowsPerStrip, l.height - row)) * rowBytes;
        const uint32_t strip = s + uint32_t(plane) * stripsPerPlane;
        if (TIFFReadEncodedStrip(t, strip, out.data() + size_t(row) * rowBytes, tmsize_t(want)) < 0)
            return false;
    }
    return true;
}

int decodeWithRgba(TIFF* t, const Layout& l, RasterPage& page, QString& error) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(t, message)) {
        error = QStringLiteral("unsupported TIFF variant: %1").arg(QString::fromUtf8(message));
        return ApUnsupported;
    }
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, t, 0, message)) {
        error = QStringLiteral("unsupported TIFF variant: %1").arg(QString::fromUtf8(message));
        return ApUnsupported;
    }
    img.req_orientation = img.orientation; // rows as stored; the page placement turns them
    std::vector<uint32_t> raster(size_t(l.width) * l.height);
    const int ok = TIFFRGBAImageGet(&img, raster.data(), l.width, l.height);
    TIFFRGBAImageEnd(&img);
    if (!ok) {
        error = QStringLiteral("damaged TIFF data");
        return ApCorrupt;
    }
    page.model = ColourModel::RGB;
    page.bitsPerComponent = 8;
    page.pixels.resize(raster.size() * 3);
    const bool alpha = l.alphaSample >= 0;
    if (alpha) page.alpha.resize(raster.size());
    for (size_t i = 0; i < raster.size(); ++i) {
        const uint32_t v = raster[i];
        page.pixels[3 * i] = uint8_t(TIFFGetR(v));
        page.pixels[3 * i + 1] = uint8_t(TIFFGetG(v));
        page.pixels[3 * i + 2] = uint8_t(TIFFGetB(v));
        if (alpha) page.alpha[i] = uint8_t(TIFFGetA(v));
    }
    if (alpha) // the RGBA interface premultiplies
        for (size_t i = 0; i < raster.size(); ++i)
            if (const int a = page.alpha[i]; a > 0 && a < 255)
                for (int c = 0; c < 3; ++c)
                    page.pixels[3 * i + size_t(c)] =
                        uint8_t(std::min(255, page.pixels[3 * i + size_t(c)] * 255 / a));
    return ApOk;
}

// Splits interleaved samples (8 or 16 bits) into colour samples (16 bits made big-endian)
// and an 8-bit alpha.
void splitSamples(const Layout& l, const std::vector<uint8_t>& in, RasterPage& page) {
    const size_t bytes = l.bps / 8;
    const size_t pixels = size_t(l.width) * l.height;
    page.pixels.resize(pixels * size_t(l.colours) * bytes);
    if (l.alphaSample >= 0) page.alpha.resize(pixels);
    const size_t stride = size_t(l.spp) * bytes;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* src = in.data() + i * stride;
        uint8_t* dst = page.pixels.data() + i * size_t(l.colours) * bytes;
        int alpha = 255;
        if (l.alphaSample >= 0) {
            const uint8_t* a = src + size_t(l.alphaSample) * bytes;
            alpha = bytes == 2 ? (a[0] | a[1] << 8) >> 8 : a[0];
            page.alpha[i] = uint8_t(alpha);
        }
        for (int c = 0; c < l.colours; ++c) {
            const uint8_t* s = src + size_t(c) * bytes;
            if (bytes == 2) {
                uint32_t v = uint32_t(s[0] | s[1] << 8);
                if (l.premultiplied && alpha > 0 && alpha < 255)
                    v = std::min<uint32_t>(65535, v * 255 / uint32_t(alpha));
                dst[2 * c] = uint8_t(v >> 8);
                dst[2 * c + 1] = uint8_t(v);
            } else {
                uint32_t v = s[0];
                if (l.premultiplied && alpha > 0 && alpha < 255)
                    v = std::min<uint32_t>(255, v * 255 / uint32_t(alpha));
                dst[c] = uint8_t(v);
            }
        }
    }
}

void readPalette(TIFF* t, int bps, std::vector<uint8_t>& palette) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b) return;
    const size_t n = size_t(1) << bps;
    // Some writers store 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (size_t i = 0; i < n; ++i)
        if (r[i] > 255 || g[i] > 255 || b[i] > 255) eightBit = false;
    palette.resize(n * 3);
    for (size_t i = 0; i < n; ++i) {
        palette[3 * i] = uint8_t(eightBit ? r[i] : r[i] >> 8);
        palette[3 * i + 1] = uint8_t(eightBit ? g[i] : g[i] >> 8);
        palette[3 * i + 2] = uint8_t(eightBit ? b[i] : b[i] >> 8);
    }
}

} // namespace

int decodeTiffDirectory(TIFF* t, RasterPage& page, QString& error) {
    Layout l;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &l.bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_JPEG && l.photometric == PHOTOMETRIC_YCBCR) {
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB); // libjpeg converts for us
        l.photometric = PHOTOMETRIC_RGB;
    }
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);

    page.width = int(l.width);
    page.height = int(l.height);
    page.storedBitsPerPixel = l.bps * l.spp;
    float x = 0, y = 0;
    const uint16_t unit = [&] {
        uint16_t u = RESUNIT_INCH;
        TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &u);
        return u;
    }();
    if (TIFFGetField(t, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(t, TIFFTAG_YRESOLUTION, &y) &&
        unit != RESUNIT_NONE) {
        page.dpiX = double(x) * (unit == RESUNIT_CENTIMETER ? 2.54 : 1.0);
        page.dpiY = double(y) * (unit == RESUNIT_CENTIMETER ? 2.54 : 1.0);
    }
    uint32_t iccSize = 0;
    void* iccData = nullptr;
    if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &iccSize, &iccData) && iccData && iccSize)
        page.icc = QByteArray(static_cast<const char*>(iccData), qsizetype(iccSize));

    uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(t, TIFFTAG_INKSET, &inkSet);
    const bool grey = l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
    const bool palette = l.photometric == PHOTOMETRIC_PALETTE;
    const bool rgb = l.photometric == PHOTOMETRIC_RGB;
    const bool cmyk = l.photometric == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK && l.spp >= 4;
    l.colours = grey || palette ? 1 : rgb ? 3 : 4;
    for (int i = 0; i < extraCount && l.spp > l.colours + i; ++i)
        if (extra[i] == EXTRASAMPLE_ASSOCALPHA || extra[i] == EXTRASAMPLE_UNASSALPHA) {
            l.alphaSample = l.colours + i;
            l.premultiplied = extra[i] == EXTRASAMPLE_ASSOCALPHA;
            break;
        }
    const bool ownPath = l.sampleFormat == SAMPLEFORMAT_UINT && (grey || palette || rgb || cmyk) &&
                         l.spp >= l.colours &&
                         ((l.bps == 8 || l.bps == 16) ||
                          (l.spp == 1 && (l.bps == 1 || l.bps == 2 || l.bps == 4) && (grey || palette))) &&
                         !(palette && l.bps == 16);
    // What decoding holds at once: the stored samples (or libtiff's RGBA raster) and the page.
    const int64_t pixels = int64_t(l.width) * l.height;
    const int64_t decoded =
        ownPath ? (int64_t(l.width) * l.spp * l.bps + 7) / 8 * l.height + (l.alphaSample >= 0 ? pixels : 0)
                : pixels * 4;
    if (decoded > kMaxDecodedBytes) {
        error = QStringLiteral("a page of %1 x %2 pixels is over the limits").arg(l.width).arg(l.height);
        return ApOverLimits;
    }
    if (!ownPath) return decodeWithRgba(t, l, page, error);

    page.model = grey      ? ColourModel::Gray
                 : palette ? ColourModel::Indexed
                 : rgb     ? ColourModel::RGB
                           : ColourModel::CMYK;
    page.bitsPerComponent = l.bps;
    std::vector<uint8_t> samples;
    if (l.planar == PLANARCONFIG_SEPARATE && l.spp > 1) {
        const size_t bytes = l.bps / 8, planeRow = size_t(l.width) * bytes;
        samples.resize(planeRow * l.height * l.spp);
        std::vector<uint8_t> plane;
        for (uint16_t p = 0; p < l.spp; ++p) {
            if (!readPlane(t, l, p, planeRow, plane)) {
                error = QStringLiteral("damaged TIFF data");
                return ApCorrupt;
            }
            for (size_t i = 0; i < size_t(l.width) * l.height; ++i)
                std::memcpy(samples.data() + (i * l.spp + p) * bytes, plane.data() + i * bytes, bytes);
        }
    } else if (!readPlane(t, l, 0, size_t((uint64_t(l.width) * l.spp * l.bps + 7) / 8), samples)) {
        error = QStringLiteral("damaged TIFF data");
        return ApCorrupt;
    }

    if (l.bps < 8) {
        page.pixels.swap(samples);
        if (l.photometric == PHOTOMETRIC_MINISWHITE)
            for (uint8_t& b : page.pixels)
                b = uint8_t(~b);
    } else {
        splitSamples(l, samples, page);
        if (l.photometric == PHOTOMETRIC_MINISWHITE)
            for (uint8_t& b : page.pixels)
                b = uint8_t(~b);
    }
    if (palette) {
        readPalette(t, l.bps, page.palette);
        if (page.palette.empty()) {
            error = QStringLiteral("palette image without a colour map");
            return ApCorrupt;
        }
    }
    return ApOk;
}

} // namespace imaging
