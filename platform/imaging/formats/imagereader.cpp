#include "platform/imaging/formats/imagereader.h"

#include "platform/imaging/formats/examinedsource.h"
#include "platform/imaging/formats/jp2reader.h"
#include "platform/imaging/formats/jpegreader.h"
#include "platform/imaging/formats/otherformats.h"
#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/formats/pngreader.h"
#include "platform/imaging/formats/sniff.h"
#include "platform/imaging/formats/tiffreader.h"

namespace imaging {

int readImagePages(const QString& path, ImageFormat format, const CompressionChoice& choice,
                   StreamStore& store, std::vector<EncodedPage>& pages, QString& error) {
    ExaminedSource source;
    if (const int rc = examineSource(path, Examine::ForAdd, source, error); rc != ApOk)
        return rc;
    source.format = format;
    return readImagePages(source, choice, store, pages, error);
}

int readImagePages(ExaminedSource& source, const CompressionChoice& choice, StreamStore& store,
                   std::vector<EncodedPage>& pages, QString& error) {
    const QString& path = source.path;
    const ImageFormat format = source.format;
    switch (format) {
    case ImageFormat::Tiff:
        return readTiffPages(path, choice, store, pages, error);
    case ImageFormat::Jpeg:
        return readJpegPage(source, choice, store, pages, error);
    case ImageFormat::Png:
        return readPngPage(source, choice, store, pages, error);
    case ImageFormat::Jp2:
        return readJp2Page(path, false, choice, store, pages, error);
    case ImageFormat::J2k:
        return readJp2Page(path, true, choice, store, pages, error);
    case ImageFormat::Unknown:
    case ImageFormat::Pdf:
        error = QStringLiteral("%1 is not an image").arg(path);
        return ApUnsupported;
    default:
        break;
    }
    const size_t before = pages.size();
    const int rc = decodeOtherFormat(
        path, format,
        [&](RasterPage& page) {
            if (page.width <= 0 || page.height <= 0 || page.width > kMaxSide || page.height > kMaxSide)
                return int(ApOverLimits);
            EncodedPage encoded;
            const int code =
                encodeRasterPage(page, choice.forDepth(page.storedBitsPerPixel), 1, store, encoded, error);
            if (code == ApOk) pages.push_back(std::move(encoded));
            return code;
        },
        error);
    if (rc != ApOk) {
        error = QStringLiteral("%1: %2").arg(path, error);
        return rc;
    }
    return int(pages.size() - before);
}

int imageBitsPerPixel(const QString& path, QString& error) {
    // The file is read once for this query and the add that follows it.
    ExaminedSource source;
    if (const int rc = examineSource(path, Examine::ForQuery, source, error); rc != ApOk) return rc;
    const ImageFormat format = source.format;
    switch (format) {
    case ImageFormat::Tiff:
        return tiffBitsPerPixel(path, error);
    case ImageFormat::Jpeg:
        return source.bytes ? jpegBitsPerPixel(source.data(), source.size(), path, error)
                            : jpegBitsPerPixel(path, error);
    case ImageFormat::Png:
        return source.bytes ? pngBitsPerPixel(source.data(), source.size(), path, error)
                            : pngBitsPerPixel(path, error);
    case ImageFormat::Jp2:
        return jp2BitsPerPixel(path, false, error);
    case ImageFormat::J2k:
        return jp2BitsPerPixel(path, true, error);
    case ImageFormat::Pdf:
        return 0;
    default:
        break;
    }
    const int bpp = otherFormatBitsPerPixel(path, format);
    if (bpp <= 0 && error.isEmpty())
        error = QStringLiteral("%1: cannot read the %2 header")
                    .arg(path, QString::fromLatin1(formatName(format)));
    return bpp;
}

} // namespace imaging
