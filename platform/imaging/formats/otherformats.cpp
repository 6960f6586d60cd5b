#include "platform/imaging/formats/otherformats.h"

#include "platform/imaging/formats/magickdecoder.h"
#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/formats/magickworkarounds.h"
#include "platform/imaging/metafiles/metafileemf.h"
#include "platform/imaging/metafiles/metafilewmf.h"
#include "platform/imaging/formats/pngreader.h"
#include "platform/imaging/formats/psdcomposite.h"
#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/formats/tgadecoder.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <algorithm>

namespace imaging {

namespace {

const char* coderFor(ImageFormat format) {
    switch (format) {
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Psd: return "PSD";
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Dcx:
    case ImageFormat::Pcx: return "PCX";
    case ImageFormat::Ico: return "ICO";
    case ImageFormat::Pnm: return "PNM";
    case ImageFormat::Pcd: return "PCD";
    case ImageFormat::Tga: return "TGA";
    default: return nullptr;
    }
}

int checkLimits(const MagickHeader& header, QString& error) {
    if (withinLimits(header.width, header.height, header.decodedBytes()))
        return ApOk;
    error = QStringLiteral("page of %1 x %2 pixels is over the limits").arg(header.width).arg(header.height);
    return ApOverLimits;
}

// The composite must be in the file before anyone allocates its page; then the variants
// ImageMagick gets wrong are decoded here.
int decodePsd(const QByteArray& data, const MagickRead& how, const MagickHeader& header, RasterPage& page,
              QString& error) {
    PsdComposite composite;
    if (const int rc = locatePsdComposite(data, composite, error); rc != ApOk)
        return rc;
    if (isIndexedPsd(data))
        return decodeIndexedPsd(data, header, page, error);
    if (decodesPsdComposite(composite))
        return decodePsdComposite(data, composite, header, page, error);
    return decodeMagickPage(data, how, header, page, error);
}

int decodeOne(QByteArray data, const MagickRead& how, const MagickHeader& header, const PageSink& sink,
              QString& error) {
    RasterPage page;
    const QByteArray coder(how.coder);
    if (coder == "BMP")
        fixBmpSizeField(data);
    int rc;
    if (coder == "PCX" && isMonochromePcx(data))
        rc = decodeMonochromePcx(data, header, page, error);
    else if (coder == "PSD")
        rc = decodePsd(data, how, header, page, error);
    else if (coder == "TGA")
        rc = decodeTga(data, header, page, error);
    else
        rc = decodeMagickPage(data, how, header, page, error);
    return rc == ApOk ? sink(page) : rc;
}

// Every page of a DCX is a PCX of its own, cut out and decoded one at a time.
int decodeDcx(QFile& file, const PageSink& sink, QString& error) {
    std::vector<int64_t> offsets;
    int rc = readDcxOffsets(file, offsets, error);
    if (rc != ApOk)
        return rc;
    std::vector<int64_t> ends(offsets);
    std::sort(ends.begin(), ends.end());
    for (const int64_t offset : offsets) {
        const auto next = std::upper_bound(ends.begin(), ends.end(), offset);
        const int64_t end = next == ends.end() ? file.size() : *next;
        if (offset >= file.size() || !file.seek(offset)) {
            error = QStringLiteral("DCX page outside the file");
            return ApCorrupt;
        }
        QByteArray pcx = readFileRange(file, offset, end - offset);
        QBuffer buffer(&pcx);
        buffer.open(QIODevice::ReadOnly);
        MagickHeader header;
        rc = readMagickHeader(buffer, ImageFormat::Pcx, header, error);
        if (rc == ApOk)
            rc = checkLimits(header, error);
        if (rc == ApOk) {
            MagickRead how;
            how.coder = "PCX";
            rc = decodeOne(pcx, how, header, sink, error);
        }
        if (rc != ApOk)
            return rc;
    }
    return ApOk;
}

// The chosen icon entry alone, as a one-entry ICO, so ImageMagick decodes nothing else.
int decodeIcoEntry(QFile& file, const MagickHeader& header, const PageSink& sink, QString& error) {
    const QByteArray image = readFileRange(file, header.pageOffset, header.pageLength);
    if (image.size() < header.pageLength) {
        error = QStringLiteral("ICO entry cut short");
        return ApCorrupt;
    }
    // libpng allocates a chunk's claimed length before reading it: a PNG entry's chunks are
    // walked here first, so only lengths the entry really holds reach it. ImageMagick takes
    // an entry for PNG by its first four bytes, so a damaged rest of the signature is
    // refused here too.
    if (image.startsWith("\x89PNG")) {
        PngInfo png;
        if (const int rc = parsePngChunks(reinterpret_cast<const uint8_t*>(image.constData()), size_t(image.size()),
                                          png, error);
            rc != ApOk)
            return rc;
    }
    QByteArray ico("\0\0\1\0\1\0", 6);
    QByteArray entry = header.icoEntry;
    qToLittleEndian<quint32>(22, entry.data() + 12);
    ico += entry;
    ico += image;
    MagickRead how;
    how.coder = "ICO";
    return decodeOne(ico, how, header, sink, error);
}

} // namespace

int decodeOtherFormat(const QString& path, ImageFormat format, const PageSink& sink, QString& error) {
    if (format == ImageFormat::Emf)
        return decodeEmf(path, sink, error);
    if (format == ImageFormat::Wmf)
        return decodeWmf(path, sink, error);
    const char* coder = coderFor(format);
    if (!coder) {
        error = QStringLiteral("not a format read through ImageMagick");
        return ApUnsupported;
    }
    QFile file;
    int rc = openSourceFile(file, path, error);
    if (rc != ApOk)
        return rc;
    MagickHeader header;
    rc = readMagickHeader(file, format, header, error);
    if (rc == ApOk)
        rc = checkLimits(header, error);
    if (rc != ApOk)
        return rc;
    if (format == ImageFormat::Dcx)
        return decodeDcx(file, sink, error);
    if (format == ImageFormat::Ico)
        return decodeIcoEntry(file, header, sink, error);
    QByteArray data;
    if ((rc = readWholeFile(file, data, error)) != ApOk)
        return rc;
    MagickRead how;
    how.coder = coder;
    how.firstFrameOnly = format == ImageFormat::Gif;
    return decodeOne(std::move(data), how, header, sink, error);
}

int otherFormatBitsPerPixel(const QString& path, ImageFormat format) {
    if (format == ImageFormat::Emf)
        return emfBitsPerPixel(path);
    if (format == ImageFormat::Wmf)
        return wmfBitsPerPixel(path);
    QFile file;
    QString error;
    if (openSourceFile(file, path, error) != ApOk)
        return ApCannotRead;
    MagickHeader header;
    const int rc = readMagickHeader(file, format, header, error);
    return rc == ApOk ? header.bitsPerPixel : rc;
}

} // namespace imaging
