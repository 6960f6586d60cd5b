#include "platform/tiffpages/imagetotiff.h"

#include "platform/imaging/formats/jp2reader.h"
#include "platform/imaging/formats/jpegcodec.h"
#include "platform/imaging/formats/jpegheader.h"
#include "platform/imaging/formats/otherformats.h"
#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/formats/pngreader.h"
#include "platform/imaging/formats/sniff.h"
#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/formats/tiffhandle.h"
#include "platform/imaging/formats/tiffreader.h"
#include "platform/tiffpages/tiffoutput.h"

#include <QFile>
#include <functional>

namespace tiffpages {

using imaging::ColourModel;
using imaging::RasterPage;

namespace {

constexpr int kBadArgument = 5;
constexpr int kInvalidFormat = 321;

// A decoded page and the orientation its file gives it.
using PageSink = std::function<bool(RasterPage& page, int orientation)>;

bool failImaging(int code, const QString& path, const QString& error, fileio::Failure& failure) {
    if (code == imaging::ApCannotRead)
        return failure.set(QFile::exists(path) ? 75 : 53, error.isEmpty() ? QStringLiteral("cannot read %1").arg(path) : error);
    return failure.set(kInvalidFormat, error.isEmpty() ? QStringLiteral("%1: not a readable image").arg(path) : error);
}

bool overLimits(int64_t width, int64_t height, int64_t bytesPerPixel) {
    return width <= 0 || height <= 0 || width > imaging::kMaxSide || height > imaging::kMaxSide ||
           width * height * bytesPerPixel > imaging::kMaxDecodedBytes;
}

bool decodeTiff(const QString& path, const PageSink& sink, fileio::Failure& failure) {
    imaging::TiffHandle tiff;
    if (!tiff.openFile(path, "r"))
        return failure.set(kInvalidFormat, QStringLiteral("%1: %2").arg(path, tiff.error()));
    do {
        RasterPage page;
        QString error;
        if (const int rc = imaging::decodeTiffDirectory(tiff, page, error); rc != imaging::ApOk)
            return failImaging(rc, path, QStringLiteral("%1: %2").arg(path, error), failure);
        uint16_t orientation = ORIENTATION_TOPLEFT;
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
        if (!sink(page, orientation)) return false;
        tiff.clearError();
    } while (TIFFReadDirectory(tiff.get()));
    if (!tiff.error().isEmpty()) return failure.set(kInvalidFormat, QStringLiteral("%1: %2").arg(path, tiff.error()));
    return true;
}

bool decodeJpegFile(const QString& path, const PageSink& sink, fileio::Failure& failure) {
    std::vector<uint8_t> bytes;
    QString error;
    if (const int rc = imaging::readWholeFile(path, bytes, error); rc != imaging::ApOk)
        return failImaging(rc, path, error, failure);
    imaging::JpegInfo info;
    if (const int rc = imaging::parseJpeg(bytes.data(), bytes.size(), true, info, &error); rc != imaging::ApOk)
        return failImaging(rc, path, QStringLiteral("%1: %2").arg(path, error), failure);
    if (overLimits(info.width, info.height, info.components))
        return failure.set(kInvalidFormat, QStringLiteral("%1: too large to decode").arg(path));
    RasterPage page;
    if (const int rc = imaging::decodeJpeg(bytes.data(), info.imageEnd, info, page, error); rc != imaging::ApOk)
        return failImaging(rc, path, QStringLiteral("%1: %2").arg(path, error), failure);
    if (page.dpiX <= 0) {
        page.dpiX = info.dpiX;
        page.dpiY = info.dpiY;
    }
    return sink(page, info.orientation);
}

bool decodePngFile(const QString& path, const PageSink& sink, fileio::Failure& failure) {
    std::vector<uint8_t> bytes;
    QString error;
    if (const int rc = imaging::readWholeFile(path, bytes, error); rc != imaging::ApOk)
        return failImaging(rc, path, error, failure);
    imaging::PngInfo info;
    if (const int rc = imaging::parsePngChunks(bytes.data(), bytes.size(), info, error); rc != imaging::ApOk)
        return failImaging(rc, path, QStringLiteral("%1: %2").arg(path, error), failure);
    if (overLimits(info.width, info.height, 2 * std::max(info.channels(), 1) + 1))
        return failure.set(kInvalidFormat, QStringLiteral("%1: too large to decode").arg(path));
    RasterPage page;
    if (const int rc = imaging::decodePng(bytes.data(), bytes.size(), info, page, error); rc != imaging::ApOk)
        return failImaging(rc, path, QStringLiteral("%1: %2").arg(path, error), failure);
    if (page.dpiX <= 0) {
        page.dpiX = info.dpiX;
        page.dpiY = info.dpiY;
    }
    return sink(page, 1);
}

bool decodeJp2File(const QString& path, bool codestream, const PageSink& sink, fileio::Failure& failure) {
    RasterPage page;
    QString error;
    if (const int rc = imaging::decodeJp2(path, codestream, page, error); rc != imaging::ApOk)
        return failImaging(rc, path, error, failure);
    return sink(page, 1);
}

bool decodeImage(const QString& path, const PageSink& sink, fileio::Failure& failure) {
    imaging::ImageFormat format;
    QString error;
    if (const int rc = imaging::sniffFile(path, format, error); rc != imaging::ApOk)
        return failImaging(rc, path, error, failure);
    switch (format) {
    case imaging::ImageFormat::Tiff:
        return decodeTiff(path, sink, failure);
    case imaging::ImageFormat::Jpeg:
        return decodeJpegFile(path, sink, failure);
    case imaging::ImageFormat::Png:
        return decodePngFile(path, sink, failure);
    case imaging::ImageFormat::Jp2:
    case imaging::ImageFormat::J2k:
        return decodeJp2File(path, format == imaging::ImageFormat::J2k, sink, failure);
    case imaging::ImageFormat::Pdf:
    case imaging::ImageFormat::Unknown:
        return failure.set(kInvalidFormat, QStringLiteral("%1: %2 files are not converted to TIFF")
                                               .arg(path, QString::fromLatin1(imaging::formatName(format))));
    default:
        break;
    }
    bool stopped = false;
    const int rc = imaging::decodeOtherFormat(
        path, format,
        [&](RasterPage& page) {
            if (sink(page, 1)) return int(imaging::ApOk);
            stopped = true;
            return int(imaging::ApBadArgument);
        },
        error);
    if (stopped) return false;
    if (rc != imaging::ApOk) return failImaging(rc, path, error, failure);
    return true;
}

// A two-entry grey palette is a bilevel page in disguise.
void paletteToBilevel(RasterPage& page) {
    if (page.model != ColourModel::Indexed || page.bitsPerComponent != 1 || !page.alpha.empty()) return;
    if (page.palette.size() < 6 || !imaging::paletteIsGrey(page.palette)) return;
    const bool inverted = page.palette[0] > page.palette[3];
    page.model = ColourModel::Gray;
    page.palette.clear();
    if (inverted)
        for (uint8_t& b : page.pixels)
            b = uint8_t(~b);
}

void compositeOnWhite(RasterPage& page) {
    const int n = page.components();
    for (size_t i = 0; i < page.alpha.size(); ++i) {
        const int a = page.alpha[i];
        for (int c = 0; c < n; ++c) {
            uint8_t& v = page.pixels[i * size_t(n) + size_t(c)];
            v = uint8_t((v * a + 255 * (255 - a) + 127) / 255);
        }
    }
    page.alpha.clear();
}

// Samples with the alpha sample after each pixel's colour.
void interleaveAlpha(RasterPage& page) {
    const size_t n = size_t(page.components());
    std::vector<uint8_t> out(page.alpha.size() * (n + 1));
    for (size_t i = 0; i < page.alpha.size(); ++i) {
        std::copy_n(page.pixels.data() + i * n, n, out.data() + i * (n + 1));
        out[i * (n + 1) + n] = page.alpha[i];
    }
    page.pixels.swap(out);
}

} // namespace

bool writableTiffCompression(int c) {
    switch (c) {
    case 0:
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZW:
    case COMPRESSION_JPEG:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_PACKBITS:
        return true;
    default:
        return false;
    }
}

bool writeRasterPage(TiffOutput& out, RasterPage& page, int orientation, int requested, const QString& path,
                     int number, fileio::Failure& failure) {
    if (!page.alpha.empty() && imaging::isOpaque(page.alpha)) page.alpha.clear();
    paletteToBilevel(page);
    const bool bilevel = page.model == ColourModel::Gray && page.bitsPerComponent == 1 && page.alpha.empty();
    if (!writableTiffCompression(requested))
        return failure.set(kBadArgument, QStringLiteral("%1 is not a TIFF compression this program writes").arg(requested));
    const int compression = requested != 0 ? requested : bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
    const auto unfit = [&](const char* why) {
        return failure.set(kBadArgument,
                           QStringLiteral("%1, page %2: TIFF compression %3 %4").arg(path).arg(number).arg(requested).arg(QLatin1String(why)));
    };
    const bool fax = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
    const bool jpeg = compression == COMPRESSION_JPEG;
    if (fax && !bilevel) return unfit("needs a black-and-white page");
    if (jpeg && (bilevel || page.model == ColourModel::Indexed)) return unfit("does not fit a black-and-white or palette page");

    if (jpeg) {
        if (page.bitsPerComponent != 8) imaging::convertTo8Bit(page);
        if (!page.alpha.empty()) page.model == ColourModel::CMYK ? page.alpha.clear() : compositeOnWhite(page);
    } else if (!page.alpha.empty()) {
        if (page.model == ColourModel::Indexed) imaging::expandPalette(page);
        if (page.bitsPerComponent != 8) imaging::convertTo8Bit(page);
    }
    const bool withAlpha = !page.alpha.empty();
    const int components = page.components();
    if (withAlpha) interleaveAlpha(page);
    const int samples = components + (withAlpha ? 1 : 0);
    const int bits = page.bitsPerComponent;
    const size_t rowBytes = (size_t(page.width) * samples * bits + 7) / 8;
    if (bits == 16) // stored big-endian for PDF; TIFF takes the machine's order
        for (size_t i = 0; i + 1 < page.pixels.size(); i += 2)
            std::swap(page.pixels[i], page.pixels[i + 1]);

    TIFF* t = out.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (!TIFFSetField(t, TIFFTAG_COMPRESSION, compression)) return unfit("is not available");
    if (withAlpha) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    bool invert = false;
    switch (page.model) {
    case ColourModel::Gray:
        // Bilevel pages are written the fax way, 0 = white.
        invert = bits == 1;
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, invert ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        break;
    case ColourModel::RGB:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, jpeg ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB);
        if (jpeg) TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        break;
    case ColourModel::CMYK:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
        TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
        break;
    case ColourModel::Indexed: {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
        const size_t entries = size_t(1) << bits;
        std::vector<uint16_t> map(entries * 3, 0);
        for (size_t i = 0; i < entries && i * 3 + 2 < page.palette.size(); ++i)
            for (size_t c = 0; c < 3; ++c)
                map[c * entries + i] = uint16_t(page.palette[i * 3 + c] * 257);
        TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + entries, map.data() + 2 * entries);
        break;
    }
    }
    if (jpeg) TIFFSetField(t, TIFFTAG_JPEGQUALITY, 75);
    if ((compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE) && bits >= 8)
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (orientation > 1 && orientation <= 8) TIFFSetField(t, TIFFTAG_ORIENTATION, orientation);
    if (page.dpiX > 0 && page.dpiY > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, float(page.dpiX));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, float(page.dpiY));
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, fax ? uint32_t(page.height) : TIFFDefaultStripSize(t, 0));

    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < page.height; ++y) {
        const uint8_t* src = page.pixels.data() + size_t(y) * rowBytes;
        if (invert)
            for (size_t i = 0; i < rowBytes; ++i)
                row[i] = uint8_t(~src[i]);
        else
            std::copy_n(src, rowBytes, row.data());
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0) return out.fail(failure, QStringLiteral("cannot write"));
    }
    return out.writeDirectory(failure);
}


bool convertImageToTiff(const QString& input, const QString& output, int compression, fileio::Failure& failure) {
    if (input.isEmpty() || output.isEmpty())
        return failure.set(kBadArgument, QStringLiteral("no input or output file"));
    if (!writableTiffCompression(compression))
        return failure.set(kBadArgument, QStringLiteral("%1 is not a TIFF compression this program writes").arg(compression));
    TiffOutput out(output);
    if (!out.open(false, failure)) return false;
    int number = 0;
    const bool decoded = decodeImage(
        input,
        [&](RasterPage& page, int orientation) {
            return writeRasterPage(out, page, orientation, compression, input, ++number, failure);
        },
        failure);
    if (!decoded) return false;
    if (number == 0) return failure.set(kInvalidFormat, QStringLiteral("%1 has no page").arg(input));
    return out.commit(failure);
}

} // namespace tiffpages
