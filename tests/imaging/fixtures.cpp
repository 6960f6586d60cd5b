#include "tests/imaging/fixtures.h"

#include <QFile>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace fx {

int Image::sample(int x, int y, int c) const {
    const uint8_t* row = data.data() + size_t(y) * rowBytes();
    const size_t i = size_t(x) * size_t(channels) + size_t(c);
    if (bits == 16) return row[2 * i] << 8 | row[2 * i + 1];
    if (bits == 8) return row[i];
    const size_t bit = i * size_t(bits);
    return (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1 << bits) - 1);
}

Image pattern(int width, int height, int channels, int bits, int seed) {
    Image im{width, height, channels, bits, {}};
    im.data.assign(im.rowBytes() * size_t(height), 0);
    uint32_t noise = uint32_t(seed) * 2654435761u;
    const int maxValue = (1 << bits) - 1;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = im.data.data() + size_t(y) * im.rowBytes();
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                noise = noise * 1103515245u + 12345u;
                int v;
                if (bits == 1)
                    v = ((x / 3 + y / 5 + c) % 4 == 0 || (x + y) % 17 == 0) ? 0 : 1; // mostly white, some ink
                else {
                    const double g =
                        double((x * (c + 1) + y * (3 - c % 3)) % (width + height)) / (width + height);
                    v = int(g * maxValue);
                    if ((x / 8 + y / 8) % 3 == c % 3) v = maxValue - v;
                    v = std::clamp(v + int(noise >> 28) - 8, 0, maxValue);
                }
                const size_t i = size_t(x) * size_t(channels) + size_t(c);
                if (bits == 16) {
                    row[2 * i] = uint8_t(v >> 8);
                    row[2 * i + 1] = uint8_t(v);
                } else if (bits == 8) {
                    row[i] = uint8_t(v);
                } else {
                    const size_t bit = i * size_t(bits);
                    row[bit / 8] |= uint8_t(v << (8 - bits - int(bit % 8)));
                }
            }
    }
    return im;
}

Image photo(int width, int height, int channels, int seed) {
    Image im{width, height, channels, 8, {}};
    im.data.resize(im.rowBytes() * size_t(height));
    uint32_t noise = uint32_t(seed) * 2654435761u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double base = 128 + 90 * std::sin(x * 0.09 + seed) * std::cos(y * 0.07);
            for (int c = 0; c < channels; ++c) {
                noise = noise * 1103515245u + 12345u;
                const double v = base + 30 * std::sin((x + y) * 0.05 + c) + double(noise >> 29) - 4;
                im.data[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)] =
                    uint8_t(std::clamp(v, 0.0, 255.0));
            }
        }
    return im;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray iccProfile(const char* space) {
    QByteArray icc(132, '\0');
    const uint32_t size = 132;
    icc[0] = char(size >> 24);
    icc[1] = char(size >> 16);
    icc[2] = char(size >> 8);
    icc[3] = char(size);
    std::memcpy(icc.data() + 12, "mntr", 4);
    std::memcpy(icc.data() + 16, space, 4);
    std::memcpy(icc.data() + 20, "XYZ ", 4);
    std::memcpy(icc.data() + 36, "acsp", 4);
    std::memcpy(icc.data() + 68, "\x00\x00\xF6\xD6\x00\x01\x00\x00\x00\x00\xD3\x2D", 12); // D50 illuminant
    return icc;
}

bool writeTiff(const QString& path, const std::vector<TiffPage>& pages) {
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!t) return false;
    for (const TiffPage& p : pages) {
        const Image& im = p.image;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(im.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(im.height));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(im.bits));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(im.channels));
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(t, TIFFTAG_COMPRESSION, p.compression);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, p.planar);
        TIFFSetField(t, TIFFTAG_FILLORDER, p.fillOrder);
        if (p.xres > 0) {
            TIFFSetField(t, TIFFTAG_XRESOLUTION, p.xres);
            TIFFSetField(t, TIFFTAG_YRESOLUTION, p.yres);
            TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, p.resolutionUnit);
        }
        if (p.orientation) TIFFSetField(t, TIFFTAG_ORIENTATION, p.orientation);
        if (!p.extraSamples.empty())
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(p.extraSamples.size()), p.extraSamples.data());
        if (p.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
        if (!p.icc.isEmpty()) TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(p.icc.size()), p.icc.constData());
        std::vector<uint16_t> r, g, b;
        if (!p.palette.empty()) {
            const size_t n = size_t(1) << im.bits;
            r.assign(n, 0);
            g.assign(n, 0);
            b.assign(n, 0);
            for (size_t i = 0; i * 3 + 2 < p.palette.size() && i < n; ++i) {
                r[i] = uint16_t(p.palette[3 * i] * 257);
                g[i] = uint16_t(p.palette[3 * i + 1] * 257);
                b[i] = uint16_t(p.palette[3 * i + 2] * 257);
            }
            TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        }
        // Stored samples: native 16-bit order, MINISWHITE inverted.
        std::vector<uint8_t> data = im.data;
        if (im.bits == 16)
            for (size_t i = 0; i + 1 < data.size(); i += 2)
                std::swap(data[i], data[i + 1]);
        if (p.photometric == PHOTOMETRIC_MINISWHITE)
            for (uint8_t& v : data)
                v = uint8_t(~v);
        const size_t rowBytes = im.rowBytes();
        if (p.planar == PLANARCONFIG_SEPARATE) {
            const size_t bytes = size_t(im.bits / 8);
            const size_t planeRow = size_t(im.width) * bytes;
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(im.height));
            for (int c = 0; c < im.channels; ++c) {
                std::vector<uint8_t> plane(planeRow * size_t(im.height));
                for (size_t i = 0; i < size_t(im.width) * size_t(im.height); ++i)
                    std::memcpy(plane.data() + i * bytes,
                                data.data() + (i * size_t(im.channels) + size_t(c)) * bytes, bytes);
                TIFFWriteEncodedStrip(t, uint32_t(c), plane.data(), tmsize_t(plane.size()));
            }
        } else if (p.tiled) {
            TIFFSetField(t, TIFFTAG_TILEWIDTH, uint32_t(16));
            TIFFSetField(t, TIFFTAG_TILELENGTH, uint32_t(16));
            const size_t tileRow = size_t(TIFFTileRowSize(t));
            std::vector<uint8_t> tile(size_t(TIFFTileSize(t)));
            for (int y = 0; y < im.height; y += 16)
                for (int x = 0; x < im.width; x += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    const size_t start = size_t(x) * size_t(im.channels * im.bits) / 8;
                    for (int r2 = 0; r2 < 16 && y + r2 < im.height; ++r2)
                        std::memcpy(tile.data() + size_t(r2) * tileRow,
                                    data.data() + size_t(y + r2) * rowBytes + start,
                                    std::min(tileRow, rowBytes - start));
                    TIFFWriteTile(t, tile.data(), uint32_t(x), uint32_t(y), 0, 0);
                }
        } else {
            const uint32_t rps = p.rowsPerStrip ? p.rowsPerStrip : uint32_t(im.height);
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rps);
            for (uint32_t s = 0; s * rps < uint32_t(im.height); ++s) {
                const size_t rows = std::min<size_t>(rps, size_t(im.height) - s * rps);
                TIFFWriteEncodedStrip(t, s, data.data() + size_t(s) * rps * rowBytes,
                                      tmsize_t(rows * rowBytes));
            }
        }
        if (!TIFFWriteDirectory(t)) {
            TIFFClose(t);
            return false;
        }
    }
    TIFFClose(t);
    return true;
}

namespace {

struct JpegErr {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void jpegFail(j_common_ptr c) {
    longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1);
}

QByteArray exifBlock(int orientation, double dpi, bool thumbnail) {
    // Little-endian TIFF: IFD0 with Orientation, XResolution, YResolution, ResolutionUnit.
    QByteArray b("Exif\0\0II*\0\x08\0\0\0", 14);
    const auto u16 = [&](int v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    const int entries = 4;
    u16(entries);
    const uint32_t dataAt = 8 + 2 + 12 * entries + 4;
    u16(0x0112);
    u16(3);
    u32(1);
    u16(orientation ? orientation : 1);
    u16(0);
    u16(0x011A);
    u16(5);
    u32(1);
    u32(dataAt);
    u16(0x011B);
    u16(5);
    u32(1);
    u32(dataAt + 8);
    u16(0x0128);
    u16(3);
    u32(1);
    u16(2);
    u16(0);
    u32(0);
    const uint32_t num = uint32_t(dpi > 0 ? dpi * 100 : 0);
    u32(num);
    u32(100);
    u32(num);
    u32(100);
    if (thumbnail) // a whole small JPEG in the payload: its EOI must not end the main image
        b.append(jpegBytes(pattern(8, 8, 1, 8, 5)));
    return b;
}

} // namespace

QByteArray jpegBytes(const Image& image, const JpegOptions& o) {
    jpeg_compress_struct c;
    JpegErr err;
    c.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jpegFail;
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        std::free(mem);
        return {};
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(image.width);
    c.image_height = JDIMENSION(image.height);
    c.input_components = image.channels;
    c.in_color_space = image.channels == 1 ? JCS_GRAYSCALE : image.channels == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, o.quality, TRUE);
    if (o.progressive) jpeg_simple_progression(&c);
    if (o.densityUnit) {
        c.density_unit = UINT8(o.densityUnit);
        c.X_density = UINT16(o.xDensity);
        c.Y_density = UINT16(o.yDensity);
    }
    jpeg_start_compress(&c, TRUE);
    if (o.exifOrientation || o.exifDpi > 0 || o.thumbnailInExif) {
        const QByteArray exif = exifBlock(o.exifOrientation, o.exifDpi, o.thumbnailInExif);
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                          unsigned(exif.size()));
    }
    if (!o.icc.isEmpty())
        jpeg_write_icc_profile(&c, reinterpret_cast<const JOCTET*>(o.icc.constData()),
                               unsigned(o.icc.size()));
    std::vector<uint8_t> row(image.rowBytes());
    while (c.next_scanline < c.image_height) {
        std::memcpy(row.data(), image.data.data() + size_t(c.next_scanline) * image.rowBytes(), row.size());
        if (o.adobeInvertedCmyk)
            for (uint8_t& v : row)
                v = uint8_t(255 - v);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray out(reinterpret_cast<const char*>(mem), qsizetype(size));
    std::free(mem);
    return out;
}

namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t n) {
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(n));
}
void pngFlush(png_structp) {}

} // namespace

QByteArray pngBytes(const Image& image, const PngOptions& o) {
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    int type = o.colourType;
    if (type < 0)
        type = image.channels == 1   ? PNG_COLOR_TYPE_GRAY
               : image.channels == 2 ? PNG_COLOR_TYPE_GRAY_ALPHA
               : image.channels == 3 ? PNG_COLOR_TYPE_RGB
                                     : PNG_COLOR_TYPE_RGBA;
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), image.bits, type,
                 o.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> colours;
    for (size_t i = 0; i + 2 < o.palette.size(); i += 3)
        colours.push_back({o.palette[i], o.palette[i + 1], o.palette[i + 2]});
    if (!colours.empty()) png_set_PLTE(png, info, colours.data(), int(colours.size()));
    if (!o.trns.empty()) {
        if (type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, o.trns.data(), int(o.trns.size()), nullptr);
        } else {
            png_color_16 key{};
            key.gray = o.trns[0];
            if (o.trns.size() >= 3) {
                key.red = o.trns[0];
                key.green = o.trns[1];
                key.blue = o.trns[2];
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    if (o.dpi > 0) {
        const auto ppm = png_uint_32(o.dpi / 0.0254 + 0.5);
        png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
    }
    if (!o.icc.isEmpty())
        png_set_iCCP(png, info, "test", 0, reinterpret_cast<png_const_bytep>(o.icc.constData()),
                     png_uint_32(o.icc.size()));
    QByteArray exif; // eXIf holds the TIFF structure without JPEG's "Exif\0\0"
    if (o.exifOrientation) {
        exif = exifBlock(o.exifOrientation, 0, false).mid(6);
        png_set_eXIf_1(png, info, png_uint_32(exif.size()), reinterpret_cast<png_bytep>(exif.data()));
    }
    png_write_info(png, info);
    std::vector<png_bytep> rows(size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(image.data.data() + size_t(y) * image.rowBytes());
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace fx
