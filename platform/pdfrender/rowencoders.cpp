#include "platform/pdfrender/rowencoders.h"

#include "platform/pdfrender/bandedpage.h"

#include <QtEndian>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <unistd.h>
#include <vector>

namespace pdfrender {

namespace {

constexpr int kInvalidCall = 5;

bool failWriter(const fileio::AtomicWriter& file, fileio::Failure& failure) {
    return failure.set(file.errorNumber() ? file.errorNumber() : 75,
                       file.errorString().isEmpty() ? QStringLiteral("cannot write %1").arg(file.target())
                                                    : file.errorString());
}

bool failEncoder(const fileio::AtomicWriter& file, const char* codec, const char* message, fileio::Failure& failure) {
    return failure.set(kInvalidCall, QStringLiteral("cannot encode %1: %2: %3")
                                         .arg(file.target(), QLatin1String(codec), QString::fromLocal8Bit(message)));
}

int dotsPerMeter(int dpi) { return int(std::lround(dpi / 0.0254)); }

// A 1-bit row (1 white) as grey bytes 0 and 255.
void expandBits(const uchar* bits, int width, uchar* out) {
    for (int x = 0; x < width; ++x)
        out[x] = (bits[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
}

// libpng and libjpeg report fatal errors by longjmp back into the function that started the
// work; those functions create no C++ object after their setjmp. A failed write only marks
// the sink, so no jump ever leaves through our own code.
struct Sink {
    explicit Sink(fileio::AtomicWriter& f) : file(&f) {}
    fileio::AtomicWriter* file;
    bool failed = false;
    char message[JMSG_LENGTH_MAX] = {};
    jmp_buf jump;

    void put(const void* data, size_t size) {
        if (!failed && !file->write(data, size)) failed = true;
    }
};

void pngWrite(png_structp png, png_bytep data, png_size_t size) { static_cast<Sink*>(png_get_io_ptr(png))->put(data, size); }
void pngFlush(png_structp) {}
void pngWarning(png_structp, png_const_charp) {}
void pngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<Sink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", message);
    png_longjmp(png, 1);
}

bool pngRows(png_structp png, png_infop info, BandedPage& page, Sink& sink, fileio::Failure& failure) {
    if (setjmp(png_jmpbuf(png))) return failEncoder(*sink.file, "PNG", sink.message, failure);
    const int bits = page.bitsPerPixel();
    png_set_IHDR(png, info, png_uint_32(page.width()), png_uint_32(page.height()), bits == 1 ? 1 : 8,
                 bits == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const png_uint_32 dpm = png_uint_32(dotsPerMeter(page.dpi()));
    png_set_pHYs(png, info, dpm, dpm, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.row(y, failure);
        if (!row) return false;
        png_write_row(png, const_cast<png_bytep>(row));
        if (sink.failed) return failWriter(*sink.file, failure);
    }
    png_write_end(png, nullptr);
    return !sink.failed || failWriter(*sink.file, failure);
}

struct JpegErrors {
    jpeg_error_mgr pub;
    Sink* sink;
};

struct JpegDestination {
    jpeg_destination_mgr pub;
    Sink* sink;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(64 * 1024);
};

void jpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->sink->message);
    longjmp(errors->sink->jump, 1);
}
void jpegMessage(j_common_ptr) {}

void jpegStart(j_compress_ptr info) {
    auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
    dest->pub.next_output_byte = dest->buffer.data();
    dest->pub.free_in_buffer = dest->buffer.size();
}
boolean jpegEmpty(j_compress_ptr info) {
    auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
    dest->sink->put(dest->buffer.data(), dest->buffer.size());
    jpegStart(info);
    return TRUE;
}
void jpegEnd(j_compress_ptr info) {
    auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
    dest->sink->put(dest->buffer.data(), dest->buffer.size() - dest->pub.free_in_buffer);
}

bool jpegRows(jpeg_compress_struct& cinfo, JpegDestination& dest, BandedPage& page, Sink& sink, uchar* grey,
              fileio::Failure& failure) {
    if (setjmp(sink.jump)) return failEncoder(*sink.file, "JPEG", sink.message, failure);
    jpeg_create_compress(&cinfo); // clears everything but the error manager
    cinfo.dest = &dest.pub;
    cinfo.image_width = JDIMENSION(page.width());
    cinfo.image_height = JDIMENSION(page.height());
    cinfo.input_components = page.bitsPerPixel() == 24 ? 3 : 1;
    cinfo.in_color_space = page.bitsPerPixel() == 24 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    cinfo.density_unit = 1; // dots per inch
    cinfo.X_density = cinfo.Y_density = UINT16(std::clamp(page.dpi(), 1, 65535));
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.row(y, failure);
        if (!row) return false;
        if (page.bitsPerPixel() == 1) {
            expandBits(row, page.width(), grey);
            row = grey;
        }
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
        jpeg_write_scanlines(&cinfo, rows, 1);
        if (sink.failed) return failWriter(*sink.file, failure);
    }
    jpeg_finish_compress(&cinfo);
    return !sink.failed || failWriter(*sink.file, failure);
}

template <typename T> void putLittle(std::vector<uchar>& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof(T));
    qToLittleEndian<T>(value, out.data() + at);
}

} // namespace

bool writePngRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure) {
    Sink sink(file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return failure.set(kInvalidCall, QStringLiteral("cannot encode %1: out of memory").arg(file.target()));
    }
    png_set_write_fn(png, &sink, pngWrite, pngFlush);
    const bool ok = pngRows(png, info, page, sink, failure);
    png_destroy_write_struct(&png, &info);
    return ok;
}

bool writeJpegRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure) {
    Sink sink(file);
    JpegErrors errors{};
    jpeg_compress_struct cinfo{};
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jpegError;
    errors.pub.output_message = jpegMessage;
    errors.sink = &sink;
    JpegDestination dest;
    dest.pub.init_destination = jpegStart;
    dest.pub.empty_output_buffer = jpegEmpty;
    dest.pub.term_destination = jpegEnd;
    dest.sink = &sink;
    std::vector<uchar> grey(page.bitsPerPixel() == 1 ? size_t(page.width()) : 0);
    const bool ok = jpegRows(cinfo, dest, page, sink, grey.data(), failure);
    jpeg_destroy_compress(&cinfo);
    return ok;
}

bool writeBmpRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure) {
    const int bits = page.bitsPerPixel();
    const int width = page.width(), height = page.height();
    const size_t stride = (size_t(width) * size_t(bits) + 31) / 32 * 4;
    const uint32_t colours = bits == 24 ? 0 : bits == 8 ? 256 : 2;
    const uint32_t offset = 14 + 40 + 4 * colours;
    const uint64_t fileSize = offset + uint64_t(stride) * uint64_t(height);
    if (fileSize > UINT32_MAX)
        return failure.set(kInvalidCall, QStringLiteral("cannot encode %1: too large for a BMP file").arg(file.target()));
    std::vector<uchar> head{'B', 'M'};
    putLittle<uint32_t>(head, uint32_t(fileSize));
    putLittle<uint32_t>(head, 0);
    putLittle<uint32_t>(head, offset);
    putLittle<uint32_t>(head, 40);
    putLittle<int32_t>(head, width);
    putLittle<int32_t>(head, height); // positive: the last row comes first
    putLittle<uint16_t>(head, 1);
    putLittle<uint16_t>(head, uint16_t(bits));
    putLittle<uint32_t>(head, 0); // no compression
    putLittle<uint32_t>(head, uint32_t(stride * size_t(height)));
    putLittle<int32_t>(head, dotsPerMeter(page.dpi()));
    putLittle<int32_t>(head, dotsPerMeter(page.dpi()));
    putLittle<uint32_t>(head, colours);
    putLittle<uint32_t>(head, 0);
    for (uint32_t i = 0; i < colours; ++i) {
        const uchar v = uchar(colours == 2 ? i * 255 : i);
        head.insert(head.end(), {v, v, v, 0});
    }
    if (!file.write(head.data(), head.size())) return failWriter(file, failure);
    const int fd = file.descriptor();
    if (fd < 0) return failWriter(file, failure);
    std::vector<uchar> out(stride, 0);
    for (int y = 0; y < height; ++y) {
        const uchar* row = page.row(y, failure);
        if (!row) return false;
        if (bits == 24) {
            for (int x = 0; x < width; ++x) {
                out[size_t(x) * 3] = row[size_t(x) * 3 + 2];
                out[size_t(x) * 3 + 1] = row[size_t(x) * 3 + 1];
                out[size_t(x) * 3 + 2] = row[size_t(x) * 3];
            }
        } else {
            std::memcpy(out.data(), row, page.rowBytes());
        }
        off_t at = off_t(offset + uint64_t(stride) * uint64_t(height - 1 - y));
        for (size_t done = 0; done < stride;) {
            const ssize_t n = ::pwrite(fd, out.data() + done, stride - done, at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                const int err = n < 0 ? errno : ENOSPC;
                return failure.set(fileio::runtimeErrorForErrno(err),
                                   QStringLiteral("cannot write %1: %2").arg(file.target(), QString::fromLocal8Bit(std::strerror(err))));
            }
            done += size_t(n);
            at += n;
        }
    }
    return true;
}

bool writePpmRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure) {
    const int width = page.width();
    if (!file.write(QByteArrayLiteral("P6\n") + QByteArray::number(width) + ' ' + QByteArray::number(page.height()) +
                    QByteArrayLiteral("\n255\n")))
        return failWriter(file, failure);
    std::vector<uchar> rgb(size_t(width) * 3);
    std::vector<uchar> grey(page.bitsPerPixel() == 1 ? size_t(width) : 0);
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.row(y, failure);
        if (!row) return false;
        if (page.bitsPerPixel() != 24) {
            if (page.bitsPerPixel() == 1) {
                expandBits(row, width, grey.data());
                row = grey.data();
            }
            for (int x = 0; x < width; ++x)
                std::memset(rgb.data() + size_t(x) * 3, row[x], 3);
            row = rgb.data();
        }
        if (!file.write(row, rgb.size())) return failWriter(file, failure);
    }
    return true;
}

} // namespace pdfrender
