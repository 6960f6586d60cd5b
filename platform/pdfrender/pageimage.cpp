#include "platform/pdfrender/pageimage.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/imaging/magickruntime.h"
#include "platform/tiffpages/imagetotiff.h"
#include "platform/tiffpages/tiffoutput.h"

#include <Magick++.h>
#include <QBuffer>
#include <QImageWriter>
#include <cmath>

namespace pdfrender {

namespace {

constexpr int kInvalidCall = 5;

imaging::RasterPage toRaster(const QImage& image, double dpi) {
    imaging::RasterPage page;
    page.width = image.width();
    page.height = image.height();
    page.dpiX = page.dpiY = dpi;
    switch (image.format()) {
    case QImage::Format_Mono: // index 0 black, as a grey 1-bit page has it
        page.bitsPerComponent = 1;
        page.model = imaging::ColourModel::Gray;
        break;
    case QImage::Format_Grayscale8:
        page.model = imaging::ColourModel::Gray;
        break;
    default:
        page.model = imaging::ColourModel::RGB;
        break;
    }
    const size_t rowBytes = page.rowBytes();
    page.pixels.resize(rowBytes * size_t(page.height));
    for (int y = 0; y < page.height; ++y)
        std::copy_n(image.constScanLine(y), rowBytes, page.pixels.data() + size_t(y) * rowBytes);
    return page;
}

bool writeBytes(const QString& target, QByteArrayView bytes, fileio::Failure& failure, fileio::OutputSet* outputs) {
    fileio::AtomicWriter file(target);
    if (!file.open() || !file.write(bytes)) return failure.set(file.errorNumber(), file.errorString());
    return fileio::commitOrStage(file, outputs, failure);
}

bool writeGif(const QImage& image, const QString& target, fileio::Failure& failure, fileio::OutputSet* outputs) {
    imaging::ensureMagickReady();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    try {
        // Magick reads packed rows; Qt pads its rows to 4 bytes.
        std::vector<uint8_t> pixels(size_t(rgb.width()) * 3 * size_t(rgb.height()));
        for (int y = 0; y < rgb.height(); ++y)
            std::copy_n(rgb.constScanLine(y), size_t(rgb.width()) * 3, pixels.data() + size_t(y) * rgb.width() * 3);
        Magick::Image gif(size_t(rgb.width()), size_t(rgb.height()), "RGB", Magick::CharPixel, pixels.data());
        gif.magick("GIF");
        Magick::Blob blob;
        gif.write(&blob);
        if (!writeBytes(target, QByteArrayView(static_cast<const char*>(blob.data()), qsizetype(blob.length())),
                        failure, outputs))
            return false;
    } catch (const std::exception& e) {
        return failure.set(kInvalidCall, QStringLiteral("cannot encode %1: %2").arg(target, QString::fromLocal8Bit(e.what())));
    }
    return true;
}

} // namespace

QString extensionOf(int type) {
    switch (type) {
    case kBmp: return QStringLiteral("bmp");
    case kJpeg: return QStringLiteral("jpg");
    case kPng: return QStringLiteral("png");
    case kGif: return QStringLiteral("gif");
    case kTiff:
    case kMultiTiff: return QStringLiteral("tif");
    case kPpm: return QStringLiteral("ppm");
    default: return QString();
    }
}

QImage withDepth(const QImage& rendered, int bitsPerPixel) {
    if (bitsPerPixel == 24) return rendered.convertToFormat(QImage::Format_RGB888);
    const QImage grey = rendered.convertToFormat(QImage::Format_Grayscale8);
    if (bitsPerPixel == 8) return grey;
    QImage mono(grey.size(), QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* in = grey.constScanLine(y);
        uchar* out = mono.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (in[x] >= 128) out[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    return mono;
}

bool addTiffPage(tiffpages::TiffOutput& out, const QImage& image, int tiffCompression, double dpi,
                 const QString& source, int number, fileio::Failure& failure) {
    imaging::RasterPage page = toRaster(image, dpi);
    return tiffpages::writeRasterPage(out, page, 1, tiffCompression < 0 ? 0 : tiffCompression, source, number,
                                      failure);
}

bool writePageImage(const QImage& image, int type, int tiffCompression, double dpi, const QString& target,
                    fileio::Failure& failure, fileio::OutputSet* outputs) {
    if (type == kTiff || type == kMultiTiff) {
        tiffpages::TiffOutput out(target);
        return out.open(false, failure) && addTiffPage(out, image, tiffCompression, dpi, target, 1, failure) &&
               out.commit(failure, outputs);
    }
    if (type == kGif) return writeGif(image, target, failure, outputs);
    const char* format = type == kBmp ? "bmp" : type == kJpeg ? "jpeg" : type == kPng ? "png" : type == kPpm ? "ppm" : nullptr;
    if (!format) return failure.set(kInvalidCall, QStringLiteral("image type %1 is not known").arg(type));
    QImage out = image;
    if (type == kJpeg && out.format() == QImage::Format_Mono) out = out.convertToFormat(QImage::Format_Grayscale8);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    out.setDotsPerMeterX(dotsPerMeter);
    out.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (type == kJpeg) writer.setQuality(75);
    if (!writer.write(out))
        return failure.set(kInvalidCall, QStringLiteral("cannot encode %1: %2").arg(target, writer.errorString()));
    return writeBytes(target, bytes, failure, outputs);
}

} // namespace pdfrender
