#include "platform/pdfrender/pageimage.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/imaging/formats/magickruntime.h"
#include "platform/pdfrender/bandedpage.h"
#include "platform/pdfrender/rowencoders.h"
#include "platform/tiffpages/imagetotiff.h"
#include "platform/tiffpages/tiffoutput.h"

#include <Magick++.h>
#include <vector>

namespace pdfrender {

namespace {

constexpr int kInvalidCall = 5;
constexpr int kInvalidFormat = 321;

// GIF through ImageMagick, which picks the palette from the whole page: the one type that is
// not written as the rows come.
bool writeGif(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure) {
    const qint64 pixels = qint64(page.width()) * page.height();
    if (pixels > kMaxGifPixels)
        return failure.set(kInvalidFormat, QStringLiteral("%1: page %2 is %3 x %4 pixels at %5 dpi, too large for a "
                                                          "GIF (at most %6 million pixels; PNG and TIFF have no "
                                                          "such limit)")
                                               .arg(page.source())
                                               .arg(page.number())
                                               .arg(page.width())
                                               .arg(page.height())
                                               .arg(page.dpi())
                                               .arg(kMaxGifPixels / 1'000'000));
    const size_t width = size_t(page.width());
    std::vector<uint8_t> rgb(width * 3 * size_t(page.height()));
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.row(y, failure);
        if (!row) return false;
        uint8_t* out = rgb.data() + size_t(y) * width * 3;
        for (size_t x = 0; x < width; ++x) {
            const uchar v = page.bitsPerPixel() == 8   ? row[x]
                            : page.bitsPerPixel() == 1 ? ((row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0)
                                                       : 0;
            if (page.bitsPerPixel() == 24)
                std::copy_n(row + x * 3, 3, out + x * 3);
            else
                std::fill_n(out + x * 3, 3, v);
        }
    }
    page.release();
    imaging::ensureMagickReady();
    try {
        Magick::Image gif(width, size_t(page.height()), "RGB", Magick::CharPixel, rgb.data());
        std::vector<uint8_t>().swap(rgb);
        gif.magick("GIF");
        Magick::Blob blob;
        gif.write(&blob);
        if (!file.write(blob.data(), blob.length()))
            return failure.set(file.failure());
    } catch (const std::exception& e) {
        return failure.set(kInvalidCall,
                           QStringLiteral("cannot encode %1: %2").arg(file.target(), QString::fromLocal8Bit(e.what())));
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

bool addTiffPage(tiffpages::TiffOutput& out, BandedPage& page, int requested, const QString& source, int number,
                 fileio::Failure& failure) {
    if (requested < 0) requested = 0;
    if (!tiffpages::writableTiffCompression(requested))
        return failure.set(kInvalidCall, QStringLiteral("%1 is not a TIFF compression this program writes").arg(requested));
    const bool bilevel = page.bitsPerPixel() == 1;
    const int compression = requested != 0 ? requested : bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
    const auto unfit = [&](const char* why) {
        return failure.set(kInvalidCall, QStringLiteral("%1, page %2: TIFF compression %3 %4")
                                             .arg(source)
                                             .arg(number)
                                             .arg(requested)
                                             .arg(QLatin1String(why)));
    };
    const bool fax = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
    const bool jpeg = compression == COMPRESSION_JPEG;
    if (fax && !bilevel) return unfit("needs a black-and-white page");
    if (jpeg && bilevel) return unfit("does not fit a black-and-white or palette page");

    TIFF* t = out.get();
    const bool rgb = page.bitsPerPixel() == 24;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(page.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(page.height()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, rgb ? 3 : 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (!TIFFSetField(t, TIFFTAG_COMPRESSION, compression)) return unfit("is not available");
    if (rgb) {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, jpeg ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB);
        if (jpeg) TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    } else {
        // Bilevel pages are written the fax way, 0 = white.
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    }
    if (jpeg) TIFFSetField(t, TIFFTAG_JPEGQUALITY, 75);
    if ((compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE) && !bilevel)
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, float(page.dpi()));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, float(page.dpi()));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    // A fax page is one strip, which libtiff still writes out as it fills its buffer.
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, fax ? uint32_t(page.height()) : TIFFDefaultStripSize(t, 0));

    const size_t rowBytes = page.rowBytes();
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < page.height(); ++y) {
        const uchar* src = page.row(y, failure);
        if (!src) return false;
        if (bilevel)
            for (size_t i = 0; i < rowBytes; ++i)
                row[i] = uint8_t(~src[i]);
        else
            std::copy_n(src, rowBytes, row.data());
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0) return out.fail(failure, QStringLiteral("cannot write"));
    }
    return out.writeDirectory(failure);
}

bool writePageImage(BandedPage& page, int type, int tiffCompression, const QString& target, fileio::Failure& failure,
                    fileio::OutputSet* outputs) {
    if (type == kTiff || type == kMultiTiff) {
        tiffpages::TiffOutput out(target);
        return out.open(false, failure) && addTiffPage(out, page, tiffCompression, target, 1, failure) &&
               out.commit(failure, outputs);
    }
    using Writer = bool (*)(BandedPage&, fileio::AtomicWriter&, fileio::Failure&);
    const Writer write = type == kBmp    ? writeBmpRows
                         : type == kJpeg ? writeJpegRows
                         : type == kPng  ? writePngRows
                         : type == kGif  ? writeGif
                         : type == kPpm  ? writePpmRows
                                         : nullptr;
    if (!write) return failure.set(kInvalidCall, QStringLiteral("image type %1 is not known").arg(type));
    fileio::AtomicWriter file(target);
    if (!file.open()) return failure.set(file.failure());
    return write(page, file, failure) && fileio::commitOrStage(file, outputs, failure);
}

} // namespace pdfrender
