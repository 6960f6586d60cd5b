#include "platform/imaging/formats/jpegreader.h"

#include "platform/imaging/formats/examinedsource.h"
#include "platform/imaging/formats/jpegcodec.h"
#include "platform/imaging/formats/jpegheader.h"
#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/pdf/streamstore.h"

#include <QFile>

namespace imaging {

namespace {

ColourModel modelOf(int components) {
    return components == 1 ? ColourModel::Gray : components == 3 ? ColourModel::RGB : ColourModel::CMYK;
}

int passThrough(const ExaminedSource& source, const JpegInfo& info, StreamStore& store, EncodedPage& page,
                QString& error) {
    ImageStream& s = page.image;
    s.width = info.width;
    s.height = info.height;
    s.bitsPerComponent = 8;
    s.model = modelOf(info.components);
    s.icc = info.icc;
    s.filter = "DCTDecode";
    // Adobe CMYK is stored inverted; RGB without a colour transform must say so, as
    // readers assume YCbCr for three components.
    s.invertDecode = info.components == 4 && info.adobe;
    if (info.components == 3 && (info.adobeTransform == 0 || (!info.adobe && info.rgbComponentIds)))
        s.parms.push_back({"ColorTransform", 0});
    // The bytes as read are written from where they lie; past the memory budget (a long
    // merge) the file is read again while writing.
    const size_t length = info.imageEnd;
    if (store.hasRoomFor(source.size()))
        s.data = store.keep(source.path, source.stamp, source.bytes, {{0, length}});
    else
        s.data = SourceStreamData::create(source.path, source.stamp, {{0, length}}, false, error);
    if (!s.data) return ApCannotRead;
    page.dpiX = info.dpiX;
    page.dpiY = info.dpiY;
    page.orientation = info.orientation;
    return ApOk;
}

} // namespace

int readJpegPage(ExaminedSource& source, const CompressionChoice& choice, StreamStore& store,
                 std::vector<EncodedPage>& pages, QString& error) {
    const QString& path = source.path;
    const uint8_t* bytes = source.data();
    JpegInfo info;
    QString why;
    if (const int rc = parseJpeg(bytes, source.size(), true, info, &why); rc != ApOk) {
        error = QStringLiteral("%1: %2").arg(path, why);
        return rc;
    }
    if (info.width > kMaxSide || info.height > kMaxSide ||
        int64_t(info.width) * info.height * info.components > kMaxDecodedBytes) {
        error = QStringLiteral("%1: %2 x %3 pixels is over the limits")
                    .arg(path)
                    .arg(info.width)
                    .arg(info.height);
        return ApOverLimits;
    }
    // Every block costs at least one bit: this data cannot hold the page it claims, whether
    // it would be decoded or passed through (a sliver of picture on a huge grey page).
    if (info.huffman() && info.entropyBytes * 8 < info.blocks) {
        error = QStringLiteral("%1: image data missing from the file").arg(path);
        return ApCorrupt;
    }
    const Compression c = choice.forDepth(8 * info.components);
    EncodedPage page;
    int rc;
    if (passesThrough(c, SourceCoding::Dct, false) && info.passable()) {
        // A stream libjpeg refuses would make a page no reader can draw.
        rc = checkJpegStructure(bytes, info, error);
        if (rc == ApOk)
            rc = passThrough(source, info, store, page, error);
        else
            error = QStringLiteral("%1: %2").arg(path, error);
    } else {
        RasterPage raster;
        rc = decodeJpeg(bytes, info.imageEnd, info, raster, error);
        source.bytes.reset();
        if (rc == ApOk) rc = encodeRasterPage(raster, c, info.orientation, store, page, error);
        if (rc != ApOk) error = QStringLiteral("%1: %2").arg(path, error);
    }
    if (rc != ApOk) return rc;
    pages.push_back(std::move(page));
    return 1;
}

int jpegBitsPerPixel(const uint8_t* data, size_t size, const QString& path, QString& error) {
    JpegInfo info;
    QString why;
    if (const int rc = parseJpeg(data, size, false, info, &why); rc != ApOk) {
        error = QStringLiteral("%1: %2").arg(path, why);
        return rc;
    }
    return 8 * info.components;
}

int jpegBitsPerPixel(const QString& path, QString& error) {
    QFile file;
    if (const int rc = openSourceFile(file, path, error); rc != ApOk)
        return rc;
    constexpr qint64 kMaxHeaderScan = 64 * 1024 * 1024;
    // The frame header usually sits in the first kilobytes; EXIF thumbnails and ICC
    // profiles can push it further, so the whole file is tried when the head is not enough.
    QByteArray head = file.read(256 * 1024);
    JpegInfo info;
    QString why;
    int rc =
        parseJpeg(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()), false, info, &why);
    if (rc != ApOk && file.size() > head.size()) {
        // Bounded: metadata segments never reach this far in a real file, and a huge file
        // that merely starts like a JPEG must not be read into memory whole.
        head += file.read(std::min(kMaxHeaderScan, file.size()) - head.size());
        info = JpegInfo{};
        rc = parseJpeg(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()), false, info,
                       &why);
    }
    if (rc != ApOk) {
        error = QStringLiteral("%1: %2").arg(path, why);
        return rc;
    }
    return 8 * info.components;
}

} // namespace imaging
