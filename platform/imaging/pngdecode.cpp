// libpng decoding. libpng reports errors by longjmp to the setjmp below; everything with
// a destructor is created before it.
#include "platform/imaging/pngreader.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

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

// Separates interleaved alpha (grey+alpha, RGBA) into page.alpha.
void splitAlpha(RasterPage& page, int colours, int bytes, const std::vector<uint8_t>& rows) {
    const size_t pixels = size_t(page.width) * size_t(page.height);
    const size_t stride = size_t(colours + 1) * size_t(bytes);
    page.pixels.resize(pixels * size_t(colours) * size_t(bytes));
    page.alpha.resize(pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* src = rows.data() + i * stride;
        std::memcpy(page.pixels.data() + i * size_t(colours * bytes), src, size_t(colours * bytes));
        page.alpha[i] = src[size_t(colours * bytes)]; // high byte of a 16-bit alpha
    }
}

} // namespace

int decodePng(const uint8_t* data, size_t size, const PngInfo& info, RasterPage& page, QString& error) {
    MemoryReader reader{data, size, 0, {}};
    std::vector<uint8_t> rows;
    std::vector<png_bytep> rowPointers;
    std::vector<uint8_t> trnsAlpha;
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
    if (png_get_interlace_type(png, pngInfo) != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
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
    rows.resize(rowBytes * info.height);
    rowPointers.resize(info.height);
    for (size_t y = 0; y < info.height; ++y)
        rowPointers[y] = rows.data() + y * rowBytes;
    png_read_image(png, rowPointers.data());
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
    } else if (channels == 2 || channels == 4) {
        page.model = channels == 2 ? ColourModel::Gray : ColourModel::RGB;
        splitAlpha(page, channels - 1, bytes, rows);
    } else {
        page.model = channels == 1 ? ColourModel::Gray : ColourModel::RGB;
        page.pixels.swap(rows);
    }
    return ApOk;
}

} // namespace imaging
