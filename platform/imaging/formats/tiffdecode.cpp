// Decoding one TIFF directory into a RasterPage: our own sample unpacking for the usual
// photometrics (keeping 16 bits, CMYK and palettes), libtiff's RGBA interface for the rest.
#include "platform/imaging/formats/tiffreader.h"

#include "platform/imaging/formats/tiffhandle.h"

#include <algorithm>
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

// Room for `bytes` more at the end of `out`, to be decoded into at once: the page grows only
// as far as data has really been decoded, so a file that claims a large page but holds
// little fails before much is allocated.
uint8_t* grow(std::vector<uint8_t>& out, size_t bytes) {
    const size_t at = out.size();
    out.resize(at + bytes);
    return out.data() + at;
}

// Uncompressed strips or tiles hold exactly what the page needs: all of it must lie inside
// the file before anything is allocated for the page.
bool uncompressedDataPresent(TIFF* t, const Layout& l) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_NONE)
        return true;
    const uint64_t size = uint64_t(TIFFGetSizeProc(t)(TIFFClientdata(t)));
    const bool tiled = TIFFIsTiled(t);
    const uint32_t count = tiled ? TIFFNumberOfTiles(t) : TIFFNumberOfStrips(t);
    uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, l.height);
    const uint32_t stripsPerPlane = (l.height - 1) / rowsPerStrip + 1;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t row = (i % stripsPerPlane) * rowsPerStrip;
        const uint64_t need = tiled ? TIFFTileSize64(t) : TIFFVStripSize64(t, std::min(rowsPerStrip, l.height - row));
        const uint64_t offset = TIFFGetStrileOffset(t, i);
        if (need == 0 || offset > size || need > size - offset)
            return false;
    }
    return true;
}

// Appends the stored samples of one plane (or of all, when contiguous) to `out` as they are
// decoded, rows packed as libtiff returns them (scanline size).
bool readPlane(TiffHandle& tiff, const Layout& l, uint16_t plane, size_t rowBytes, std::vector<uint8_t>& out) {
    TIFF* t = tiff.get();
    out.clear();
    out.reserve(rowBytes * l.height);
    if (TIFFIsTiled(t)) {
        uint32_t tw = 0, th = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
        const tmsize_t tileSize = TIFFTileSize(t);
        const size_t tileRow = size_t(TIFFTileRowSize64(t));
        if (tw == 0 || th == 0 || tileSize <= 0)
            return false;
        std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
        const int perPixelBits = l.bps * (l.planar == PLANARCONFIG_CONTIG ? l.spp : 1);
        for (uint32_t y = 0; y < l.height; y += th) {
            const uint32_t rows = std::min(th, l.height - y);
            uint8_t* band = grow(out, size_t(rows) * rowBytes);
            for (uint32_t x = 0; x < l.width; x += tw) {
                if (TIFFReadTile(t, tile.data(), x, y, 0, plane) < 0 || tiff.dataEndedEarly())
                    return false;
                const size_t startByte = size_t(x) * size_t(perPixelBits) / 8;
                const size_t copy = std::min(tileRow, rowBytes - startByte);
                for (uint32_t r = 0; r < rows; ++r)
                    std::memcpy(band + r * rowBytes + startByte, tile.data() + r * tileRow, copy);
            }
        }
        return true;
    }
    if (uint64_t(TIFFScanlineSize64(t)) != rowBytes)
        return false;
    // Row by row: a single strip as large as the page is never held twice, and a strip
    // that holds less than it claims fails at the first row it cannot give.
    for (uint32_t row = 0; row < l.height; ++row)
        if (TIFFReadScanline(t, grow(out, rowBytes), row, plane) < 0 || tiff.dataEndedEarly())
            return false;
    return true;
}

// The page in bands of whole strips or tiles through libtiff's RGBA interface, so that only
// one band of 32-bit pixels is held besides the page.
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
    uint32_t unit = l.height;
    if (TIFFIsTiled(t))
        TIFFGetField(t, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<uint32_t>(unit, 1, l.height);
    const uint32_t wanted = uint32_t(std::max<uint64_t>(1, (uint64_t(16) << 20) / (uint64_t(l.width) * 4)));
    const uint32_t band = std::min(l.height, std::max(unit, wanted / unit * unit));
    std::vector<uint32_t> raster(size_t(l.width) * band);
    const bool alpha = l.alphaSample >= 0;
    const size_t pixels = size_t(l.width) * l.height;
    page.model = ColourModel::RGB;
    page.bitsPerComponent = 8;
    page.pixels.reserve(pixels * 3);
    if (alpha)
        page.alpha.reserve(pixels);
    for (uint32_t y = 0; y < l.height; y += band) {
        const uint32_t rows = std::min(band, l.height - y);
        img.row_offset = int(y);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, raster.data(), l.width, rows)) {
            TIFFRGBAImageEnd(&img);
            error = QStringLiteral("damaged TIFF data");
            return ApCorrupt;
        }
        const size_t count = size_t(l.width) * rows;
        uint8_t* rgb = grow(page.pixels, count * 3);
        uint8_t* a = alpha ? grow(page.alpha, count) : nullptr;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t v = raster[i];
            int r = int(TIFFGetR(v)), g = int(TIFFGetG(v)), b = int(TIFFGetB(v));
            if (a) { // the RGBA interface premultiplies
                const int av = int(TIFFGetA(v));
                a[i] = uint8_t(av);
                if (av > 0 && av < 255) {
                    r = std::min(255, r * 255 / av);
                    g = std::min(255, g * 255 / av);
                    b = std::min(255, b * 255 / av);
                }
            }
            rgb[3 * i] = uint8_t(r);
            rgb[3 * i + 1] = uint8_t(g);
            rgb[3 * i + 2] = uint8_t(b);
        }
    }
    TIFFRGBAImageEnd(&img);
    return ApOk;
}

// Brings interleaved samples (8 or 16 bits) into the page's layout in place: colour samples
// packed (16 bits made big-endian), an alpha sample moved to its own 8-bit plane.
void arrangeSamples(const Layout& l, std::vector<uint8_t>& samples, RasterPage& page) {
    const size_t bytes = l.bps / 8;
    const size_t pixels = size_t(l.width) * l.height;
    const size_t stride = size_t(l.spp) * bytes;
    const size_t colourBytes = size_t(l.colours) * bytes;
    const bool alpha = l.alphaSample >= 0;
    if (bytes == 1 && stride == colourBytes) { // already as the page wants it
        page.pixels.swap(samples);
        return;
    }
    if (alpha)
        page.alpha.resize(pixels);
    uint8_t* base = samples.data();
    for (size_t i = 0; i < pixels; ++i) {
        // Pixel i moves to an offset no later than its own: read it whole before writing.
        const uint8_t* src = base + i * stride;
        int a = 255;
        if (alpha) {
            const uint8_t* s = src + size_t(l.alphaSample) * bytes;
            a = bytes == 2 ? (s[0] | s[1] << 8) >> 8 : s[0];
            page.alpha[i] = uint8_t(a);
        }
        uint32_t v[4];
        for (int c = 0; c < l.colours; ++c) {
            const uint8_t* s = src + size_t(c) * bytes;
            v[c] = bytes == 2 ? uint32_t(s[0] | s[1] << 8) : s[0];
            if (l.premultiplied && a > 0 && a < 255)
                v[c] = std::min<uint32_t>(bytes == 2 ? 65535 : 255, v[c] * 255 / uint32_t(a));
        }
        uint8_t* dst = base + i * colourBytes;
        for (int c = 0; c < l.colours; ++c) {
            if (bytes == 2) {
                dst[2 * c] = uint8_t(v[c] >> 8);
                dst[2 * c + 1] = uint8_t(v[c]);
            } else {
                dst[c] = uint8_t(v[c]);
            }
        }
    }
    samples.resize(pixels * colourBytes);
    page.pixels.swap(samples);
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

int decodeTiffDirectory(TiffHandle& tiff, RasterPage& page, QString& error) {
    TIFF* t = tiff.get();
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
    if (!uncompressedDataPresent(t, l)) {
        error = QStringLiteral("image data missing from the file");
        return ApCorrupt;
    }
    if (!ownPath) return decodeWithRgba(t, l, page, error);

    page.model = grey      ? ColourModel::Gray
                 : palette ? ColourModel::Indexed
                 : rgb     ? ColourModel::RGB
                           : ColourModel::CMYK;
    page.bitsPerComponent = l.bps;
    std::vector<uint8_t> samples;
    if (l.planar == PLANARCONFIG_SEPARATE && l.spp > 1) {
        // Each plane is read whole before it is spread into the pixels, so the pixels are
        // allocated only once the first plane has proved to be there.
        const size_t bytes = l.bps / 8, planeRow = size_t(l.width) * bytes;
        std::vector<uint8_t> plane;
        for (uint16_t p = 0; p < l.spp; ++p) {
            if (!readPlane(tiff, l, p, planeRow, plane)) {
                error = QStringLiteral("damaged TIFF data");
                return ApCorrupt;
            }
            if (p == 0)
                samples.resize(planeRow * l.height * l.spp);
            for (size_t i = 0; i < size_t(l.width) * l.height; ++i)
                std::memcpy(samples.data() + (i * l.spp + p) * bytes, plane.data() + i * bytes, bytes);
        }
    } else if (!readPlane(tiff, l, 0, size_t((uint64_t(l.width) * l.spp * l.bps + 7) / 8), samples)) {
        error = QStringLiteral("damaged TIFF data");
        return ApCorrupt;
    }

    if (l.bps < 8)
        page.pixels.swap(samples);
    else
        arrangeSamples(l, samples, page);
    if (l.photometric == PHOTOMETRIC_MINISWHITE)
        for (uint8_t& b : page.pixels)
            b = uint8_t(~b);
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
