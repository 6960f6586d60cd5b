#include "platform/imaging/formats/jpegcodec.h"

#include "platform/imaging/formats/jpegheader.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace imaging {

namespace {

// libjpeg reports fatal errors by longjmp back into the function that started the work;
// no C++ object is created between the setjmp and the libjpeg calls it guards.
struct QuietErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    unsigned char* memory = nullptr; // jpeg_mem_dest buffer, freed on every path
    unsigned long memorySize = 0;
};

[[noreturn]] void onError(j_common_ptr c) {
    auto* e = reinterpret_cast<QuietErrors*>(c->err);
    (*c->err->format_message)(c, e->message);
    longjmp(e->jump, 1);
}

void onMessage(j_common_ptr, int) {}

void install(QuietErrors& e, jpeg_error_mgr*& slot) {
    slot = jpeg_std_error(&e.pub);
    e.pub.error_exit = onError;
    e.pub.emit_message = onMessage;
    e.pub.output_message = [](j_common_ptr) {};
}

// Runs libjpeg over `data`: its headers up to the first scan or, with `wholeStream`, every
// scan and marker to the end (for a stream too small to cost anything). False on a fatal
// error.
bool runDecoder(const uint8_t* data, size_t size, bool wholeStream, QString& error) {
    jpeg_decompress_struct cinfo;
    QuietErrors err;
    install(err, cinfo.err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        error = QStringLiteral("JPEG: %1").arg(QString::fromLatin1(err.message));
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = 64L << 20;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (wholeStream) {
        jpeg_start_decompress(&cinfo);
        JSAMPLE row[4 * 8 * 16 * 4]; // one MCU wide: at most 4 components x 8 x 15 samples
        JSAMPROW rows[1] = {row};
        while (cinfo.output_scanline < cinfo.output_height &&
               size_t(cinfo.output_width) * size_t(cinfo.output_components) <= sizeof row)
            jpeg_read_scanlines(&cinfo, rows, 1);
        if (cinfo.output_scanline == cinfo.output_height)
            jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

int checkJpegStructure(const uint8_t* data, const JpegInfo& info, QString& error) {
    // The file itself up to its first scan: the frame with its real size, the tables before it.
    if (!runDecoder(data, info.imageEnd, false, error))
        return ApCorrupt;
    // Then every frame, table and scan header in file order, the frame shrunk to one MCU and
    // no coded data: libjpeg sets up each scan as it meets it (tables derived, scan
    // parameters checked) and reads the markers between and after the scans, at no cost.
    QByteArray stream("\xFF\xD8", 2);
    for (const JpegSegment& seg : info.segments) {
        QByteArray bytes(reinterpret_cast<const char*>(data + seg.offset), qsizetype(seg.length));
        const bool frame = seg.marker >= 0xC0 && seg.marker <= 0xCF && seg.marker != 0xC4 && seg.marker != 0xC8 &&
                           seg.marker != 0xCC;
        if (frame && bytes.size() >= 9) {
            bytes[5] = 0, bytes[6] = char(8 * info.maxV); // height
            bytes[7] = 0, bytes[8] = char(8 * info.maxH); // width
        }
        stream += bytes;
    }
    stream += QByteArray("\xFF\xD9", 2);
    if (!runDecoder(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()), true, error))
        return ApCorrupt;
    return ApOk;
}

int decodeJpeg(const uint8_t* data, size_t size, const JpegInfo& info, RasterPage& page, QString& error) {
    jpeg_decompress_struct cinfo;
    QuietErrors err;
    install(err, cinfo.err);
    std::vector<JSAMPROW> rows;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        error = QStringLiteral("JPEG: %1").arg(QString::fromLatin1(err.message));
        return ApCorrupt;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = long(kMaxDecodedBytes);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    const int comps = cinfo.num_components;
    if (comps != 1 && comps != 3 && comps != 4) {
        jpeg_destroy_decompress(&cinfo);
        error = QStringLiteral("JPEG with %1 components").arg(comps);
        return ApUnsupported;
    }
    const int64_t bytes = int64_t(cinfo.image_width) * cinfo.image_height * comps;
    if (cinfo.image_width > kMaxSide || cinfo.image_height > kMaxSide || bytes > kMaxDecodedBytes) {
        jpeg_destroy_decompress(&cinfo);
        error = QStringLiteral("JPEG of %1 x %2 pixels is over the limits")
                    .arg(cinfo.image_width)
                    .arg(cinfo.image_height);
        return ApOverLimits;
    }
    cinfo.out_color_space = comps == 1 ? JCS_GRAYSCALE : comps == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_start_decompress(&cinfo);
    page.width = int(cinfo.output_width);
    page.height = int(cinfo.output_height);
    page.model = comps == 1 ? ColourModel::Gray : comps == 3 ? ColourModel::RGB : ColourModel::CMYK;
    page.bitsPerComponent = 8;
    const size_t stride = page.rowBytes();
    // Within the limits checked above; the page grows as rows are decoded.
    page.pixels.reserve(stride * size_t(page.height));
    rows.resize(std::max<size_t>(cinfo.rec_outbuf_height, 1));
    while (cinfo.output_scanline < cinfo.output_height) {
        const size_t first = cinfo.output_scanline;
        const size_t count = std::min<size_t>(rows.size(), cinfo.output_height - first);
        page.pixels.resize((first + count) * stride);
        for (size_t i = 0; i < count; ++i)
            rows[i] = page.pixels.data() + (first + i) * stride;
        jpeg_read_scanlines(&cinfo, rows.data(), JDIMENSION(count));
    }
    page.pixels.resize(size_t(cinfo.output_scanline) * stride);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (comps == 4 && info.adobe)
        for (uint8_t& v : page.pixels)
            v = uint8_t(255 - v);
    page.dpiX = info.dpiX;
    page.dpiY = info.dpiY;
    page.icc = info.icc;
    page.storedBitsPerPixel = 8 * comps;
    return ApOk;
}

bool encodeDct(const RowSource& rows, int width, int height, int components, int quality,
               std::vector<uint8_t>& out, QString& error) {
    jpeg_compress_struct cinfo;
    QuietErrors err;
    install(err, cinfo.err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(err.memory);
        error = QStringLiteral("JPEG encoder: %1").arg(QString::fromLatin1(err.message));
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &err.memory, &err.memorySize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo); // YCbCr with 2x2 luma sampling: 4:2:0
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows(cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    out.assign(err.memory, err.memory + err.memorySize);
    std::free(err.memory);
    return true;
}

} // namespace imaging
