// libpng decoding. libpng reports errors by longjmp to the setjmp below; everything with
// a destructor is created before it.
#include "platform/imaging/formats/pngreader.h"

#include <csetjmp>
#include <cstring>
#include <png.h>
#include <zlib.h>

namespace imaging {

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
    char message[256];
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > r->size - r->position) png_error(png, "unexpected end of data");
    std::memcpy(out, r->data + r->position, length);
    r->position += length;
}

void onError(png_structp png, png_const_charp message) {
    auto* r = static_cast<MemoryReader*>(png_get_error_ptr(png));
    std::snprintf(r->message, sizeof r->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Separates interleaved alpha (grey+alpha, RGBA) into page.alpha, packing the colour
// samples in place.
void splitAlpha(RasterPage& page, int colours, int bytes, std::vector<uint8_t>& rows) {
    const size_t pixels = size_t(page.width) * size_t(page.height);
    const size_t stride = size_t(colours + 1) * size_t(bytes);
    const size_t colourBytes = size_t(colours) * size_t(bytes);
    page.alpha.resize(pixels);
    uint8_t* base = rows.data();
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* src = base + i * stride;
        page.alpha[i] = src[colourBytes]; // high byte of a 16-bit alpha
        std::memmove(base + i * colourBytes, src, colourBytes);
    }
    rows.resize(pixels * colourBytes);
    page.pixels.swap(rows);
}

// The size of the filtered data of an interlaced image: its seven passes, each row with its
// filter byte.
uint64_t interlacedDataSize(const PngInfo& info) {
    const uint64_t bits = uint64_t(info.bitDepth) * uint64_t(info.channels());
    uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const uint64_t cols = PNG_PASS_COLS(info.width, pass), rows = PNG_PASS_ROWS(info.height, pass);
        if (cols && rows)
            total += rows * (1 + (cols * bits + 7) / 8);
    }
    return total;
}

// Whether the image data inflates to at least `expected` bytes. An interlaced image can only
// be decoded into a page allocated whole, so its data is proved first, without keeping it.
bool inflatesTo(const uint8_t* data, const PngInfo& info, uint64_t expected) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    std::vector<uint8_t> scratch(1u << 16);
    uint64_t produced = 0;
    int rc = Z_OK;
    for (const auto& range : info.idat) {
        zs.next_in = const_cast<Bytef*>(data + range.offset);
        zs.avail_in = uInt(range.length);
        while (zs.avail_in > 0 && rc == Z_OK && produced < expected) {
            zs.next_out = scratch.data();
            zs.avail_out = uInt(scratch.size());
            rc = inflate(&zs, Z_NO_FLUSH);
            produced += scratch.size() - zs.avail_out;
        }
        if (rc != Z_OK || produced >= expected)
            break;
    }
    inflateEnd(&zs);
    return produced >= expected;
}

} // namespace

int decodePng(const uint8_t* data, size_t size, const PngInfo& info, RasterPage& page, QString& error) {
    if (info.interlace && !inflatesTo(data, info, interlacedDataSize(info))) {
        error = QStringLiteral("damaged PNG: not enough image data");
        return ApCorrupt;
    }
    MemoryReader reader{data, size, 0, {}};
    std::vector<uint8_t> rows;
    std::vector<png_bytep> rowPointers;
    std::vector<uint8_t> trnsAlpha;
    std::vector<uint8_t> scratch;    // one row with interleaved alpha
    std::vector<uint8_t> alphaPlane; // alpha split off row by row
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    png_infop pngInfo = png ? png_create_info_struct(png) : nullptr;
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = QStringLiteral("cannot start the PNG decoder");
        return ApCannotRead;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &pngInfo, nullptr);
        error = QStringLiteral("damaged PNG: %1").arg(QString::fromLatin1(reader.message));
        return ApCorrupt;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_set_user_limits(png, uint32_t(kMaxSide), uint32_t(kMaxSide));
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_read_info(png, pngInfo);
    const int colourType = png_get_color_type(png, pngInfo);
    const int depth = png_get_bit_depth(png, pngInfo);
    const bool keyed = png_get_valid(png, pngInfo, PNG_INFO_tRNS) && colourType != PNG_COLOR_TYPE_PALETTE;
    if (keyed) png_set_tRNS_to_alpha(png); // a colour key becomes an alpha channel
    const bool interlaced = png_get_interlace_type(png, pngInfo) != PNG_INTERLACE_NONE;
    if (interlaced) png_set_interlace_handling(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE && png_get_valid(png, pngInfo, PNG_INFO_tRNS)) {
        png_bytep trans = nullptr;
        int count = 0;
        png_get_tRNS(png, pngInfo, &trans, &count, nullptr);
        trnsAlpha.assign(256, 255);
        for (int i = 0; i < count && i < 256; ++i)
            trnsAlpha[size_t(i)] = trans[i];
    }
    png_read_update_info(png, pngInfo);
    const size_t rowBytes = png_get_rowbytes(png, pngInfo);
    const int channels = png_get_channels(png, pngInfo);
    const int outDepth = png_get_bit_depth(png, pngInfo);
    const bool withAlpha = channels == 2 || channels == 4;
    const size_t sampleBytes = outDepth == 16 ? 2 : 1;
    if (!interlaced) {
        // The page grows row by row: data that ends early fails before the rest is allocated.
        const size_t colourBytes = withAlpha ? size_t(channels - 1) * sampleBytes : 0;
        rows.reserve((withAlpha ? colourBytes * info.width : rowBytes) * info.height);
        if (withAlpha) {
            scratch.resize(rowBytes);
            alphaPlane.reserve(size_t(info.width) * info.height);
        }
        for (size_t y = 0; y < info.height; ++y) {
            if (!withAlpha) {
                rows.resize(rows.size() + rowBytes);
                png_read_row(png, rows.data() + y * rowBytes, nullptr);
                continue;
            }
            png_read_row(png, scratch.data(), nullptr);
            const size_t at = rows.size(), alphaAt = alphaPlane.size();
            rows.resize(at + colourBytes * info.width);
            alphaPlane.resize(alphaAt + info.width);
            for (size_t x = 0; x < info.width; ++x) {
                const uint8_t* src = scratch.data() + x * (colourBytes + sampleBytes);
                std::memcpy(rows.data() + at + x * colourBytes, src, colourBytes);
                alphaPlane[alphaAt + x] = src[colourBytes]; // high byte of a 16-bit alpha
            }
        }
    } else {
        rows.resize(rowBytes * info.height);
        rowPointers.resize(info.height);
        for (size_t y = 0; y < info.height; ++y)
            rowPointers[y] = rows.data() + y * rowBytes;
        png_read_image(png, rowPointers.data());
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &pngInfo, nullptr);

    page.width = int(info.width);
    page.height = int(info.height);
    page.bitsPerComponent = outDepth;
    page.dpiX = info.dpiX;
    page.dpiY = info.dpiY;
    page.icc = info.icc;
    page.storedBitsPerPixel = depth * info.channels();
    const int bytes = outDepth == 16 ? 2 : 1;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        page.model = ColourModel::Indexed;
        page.palette = info.palette;
        page.pixels.swap(rows);
        if (!trnsAlpha.empty()) {
            page.alpha.resize(size_t(page.width) * size_t(page.height));
            const int perByte = 8 / depth;
            for (int y = 0; y < page.height; ++y) {
                const uint8_t* row = page.pixels.data() + size_t(y) * rowBytes;
                for (int x = 0; x < page.width; ++x) {
                    const int shift = (perByte - 1 - x % perByte) * depth;
                    const int index = (row[x / perByte] >> shift) & ((1 << depth) - 1);
                    page.alpha[size_t(y) * size_t(page.width) + size_t(x)] = trnsAlpha[size_t(index)];
                }
            }
        }
    } else if (withAlpha) {
        page.model = channels == 2 ? ColourModel::Gray : ColourModel::RGB;
        if (interlaced) {
            splitAlpha(page, channels - 1, bytes, rows);
        } else {
            page.pixels.swap(rows);
            page.alpha.swap(alphaPlane);
        }
    } else {
        page.model = channels == 1 ? ColourModel::Gray : ColourModel::RGB;
        page.pixels.swap(rows);
    }
    return ApOk;
}

} // namespace imaging
