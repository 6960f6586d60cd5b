#include "platform/imaging/formats/pngreader.h"

#include "platform/imaging/formats/examinedsource.h"
#include "platform/imaging/formats/jpegheader.h"
#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/pdf/streamstore.h"

#include <QFile>
#include <cstring>
#include <zlib.h>

namespace imaging {

namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

QByteArray inflateProfile(const uint8_t* data, size_t size) {
    QByteArray out(1 << 16, Qt::Uninitialized);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return {};
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = uInt(size);
    int rc = Z_OK;
    while (rc == Z_OK && out.size() <= (16 << 20)) { // no profile is anywhere near 16 MiB
        if (zs.total_out == uLong(out.size())) out.resize(out.size() * 2);
        zs.next_out = reinterpret_cast<Bytef*>(out.data()) + zs.total_out;
        zs.avail_out = uInt(out.size() - qsizetype(zs.total_out));
        rc = inflate(&zs, Z_NO_FLUSH);
    }
    const uLong produced = zs.total_out;
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) return {};
    out.resize(qsizetype(produced));
    return out;
}

} // namespace

int PngInfo::channels() const {
    switch (colourType) {
    case 0:
    case 3:
        return 1;
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 0;
    }
}

int parsePngChunks(const uint8_t* d, size_t n, PngInfo& info, QString& error) {
    if (n < 8 || std::memcmp(d, "\x89PNG\r\n\x1A\n", 8) != 0) {
        error = QStringLiteral("not a PNG file");
        return ApCorrupt;
    }
    size_t pos = 8;
    bool header = false, end = false;
    while (!end) {
        if (pos + 12 > n) {
            error = QStringLiteral("PNG cut short");
            return ApCorrupt;
        }
        const uint32_t length = be32(d + pos);
        if (length > 0x7FFFFFFFu || pos + 12 + length > n) {
            error = QStringLiteral("PNG chunk runs past the end of the file");
            return ApCorrupt;
        }
        const uint8_t* type = d + pos + 4;
        const uint8_t* body = d + pos + 8;
        if (uint32_t(crc32(0, type, uInt(length + 4))) != be32(body + length)) {
            error = QStringLiteral("PNG chunk %1 is damaged (CRC)")
                        .arg(QString::fromLatin1(reinterpret_cast<const char*>(type), 4));
            return ApCorrupt;
        }
        const auto is = [&](const char* t) { return std::memcmp(type, t, 4) == 0; };
        if (!header && !is("IHDR")) {
            error = QStringLiteral("PNG does not start with its header");
            return ApCorrupt;
        }
        if (is("IHDR") && length >= 13) {
            header = true;
            info.width = be32(body);
            info.height = be32(body + 4);
            info.bitDepth = body[8];
            info.colourType = body[9];
            info.interlace = body[12];
        } else if (is("PLTE")) {
            info.palette.assign(body, body + length);
        } else if (is("tRNS")) {
            info.transparency = true;
        } else if (is("pHYs") && length >= 9 && body[8] == 1) { // pixels per metre
            info.dpiX = be32(body) * 0.0254;
            info.dpiY = be32(body + 4) * 0.0254;
        } else if (is("iCCP") && length > 2) {
            const uint8_t* zero =
                static_cast<const uint8_t*>(std::memchr(body, 0, std::min<size_t>(length, 80)));
            if (zero && size_t(zero - body) + 2 <= length)
                info.icc = inflateProfile(zero + 2, length - size_t(zero - body) - 2);
        } else if (is("eXIf")) {
            // The EXIF TIFF structure itself; a few writers keep JPEG's "Exif\0\0" before it.
            const size_t skip = length >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0 ? 6 : 0;
            double ignoredX = 0, ignoredY = 0;
            parseExif(body + skip, length - skip, info.orientation, ignoredX, ignoredY);
        } else if (is("IDAT")) {
            info.idat.push_back({pos + 8, length});
            info.idatSize += length;
        } else if (is("IEND")) {
            end = true;
        }
        pos += 12 + length;
    }
    const bool depthOk =
        (info.colourType == 0 && (info.bitDepth == 1 || info.bitDepth == 2 || info.bitDepth == 4 ||
                                  info.bitDepth == 8 || info.bitDepth == 16)) ||
        (info.colourType == 3 &&
         (info.bitDepth == 1 || info.bitDepth == 2 || info.bitDepth == 4 || info.bitDepth == 8)) ||
        ((info.colourType == 2 || info.colourType == 4 || info.colourType == 6) &&
         (info.bitDepth == 8 || info.bitDepth == 16));
    if (!header || !depthOk || info.width == 0 || info.height == 0 || info.idat.empty() ||
        info.interlace > 1 ||
        (info.colourType == 3 && (info.palette.size() < 3 || info.palette.size() % 3))) {
        error = QStringLiteral("PNG header or image data is damaged");
        return ApCorrupt;
    }
    return ApOk;
}

int readPngPage(ExaminedSource& source, const CompressionChoice& choice, StreamStore& store,
                std::vector<EncodedPage>& pages, QString& error) {
    const QString& path = source.path;
    const uint8_t* d = source.data();
    PngInfo info;
    int rc = parsePngChunks(d, source.size(), info, error);
    if (rc == ApOk &&
        (info.width > kMaxSide || info.height > kMaxSide ||
         int64_t(info.width) * info.height * std::max(info.channels(), 1) * (info.bitDepth > 8 ? 2 : 1) >
             kMaxDecodedBytes)) {
        error = QStringLiteral("%1 x %2 pixels is over the limits").arg(info.width).arg(info.height);
        rc = ApOverLimits;
    }
    if (rc != ApOk) {
        error = QStringLiteral("%1: %2").arg(path, error);
        return rc;
    }
    const Compression c = choice.forDepth(info.storedBitsPerPixel());
    const bool passable = info.interlace == 0 && !info.transparency &&
                          (info.colourType == 0 || info.colourType == 2 || info.colourType == 3);
    EncodedPage page;
    if (passable && passesThrough(c, SourceCoding::Flate, info.storedBitsPerPixel() == 1)) {
        // Deflate gives at most 1032 bytes for one: data that cannot hold the rows the header
        // claims is missing, and would become a page of that size showing a sliver of picture.
        const uint64_t rowBytes = (uint64_t(info.width) * uint64_t(info.storedBitsPerPixel()) + 7) / 8;
        if (info.idatSize * 1032 < uint64_t(info.height) * (1 + rowBytes)) {
            error = QStringLiteral("%1: image data missing from the file").arg(path);
            return ApCorrupt;
        }
        ImageStream& s = page.image;
        s.width = int(info.width);
        s.height = int(info.height);
        s.bitsPerComponent = info.bitDepth;
        s.model = info.colourType == 0   ? ColourModel::Gray
                  : info.colourType == 2 ? ColourModel::RGB
                                         : ColourModel::Indexed;
        s.palette = info.palette;
        s.icc = info.icc;
        s.filter = "FlateDecode";
        s.parms = {{"Predictor", 15},
                   {"Colors", info.channels()},
                   {"BitsPerComponent", info.bitDepth},
                   {"Columns", int(info.width)}};
        // The IDAT data is written from the bytes as read, chunk by chunk; past the memory
        // budget the file is read again while writing.
        if (store.hasRoomFor(source.size()))
            s.data = store.keep(source.path, source.stamp, source.bytes, info.idat);
        else
            s.data = SourceStreamData::create(path, source.stamp, info.idat, false, error);
        if (!s.data) return ApCannotRead;
        page.dpiX = info.dpiX;
        page.dpiY = info.dpiY;
        page.orientation = info.orientation;
    } else {
        RasterPage raster;
        rc = decodePng(d, source.size(), info, raster, error);
        source.bytes.reset();
        if (rc == ApOk) rc = encodeRasterPage(raster, c, info.orientation, store, page, error);
        if (rc != ApOk) {
            error = QStringLiteral("%1: %2").arg(path, error);
            return rc;
        }
    }
    pages.push_back(std::move(page));
    return 1;
}

int pngBitsPerPixel(const uint8_t* data, size_t size, const QString& path, QString& error) {
    PngInfo info;
    if (size >= 33 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        info.bitDepth = data[24];
        info.colourType = data[25];
    }
    const int bpp = info.storedBitsPerPixel();
    if (bpp <= 0) {
        error = QStringLiteral("%1: PNG header is damaged").arg(path);
        return ApCorrupt;
    }
    return bpp;
}

int pngBitsPerPixel(const QString& path, QString& error) {
    QFile file;
    if (const int rc = openSourceFile(file, path, error); rc != ApOk)
        return rc;
    const QByteArray head = file.read(33); // signature and IHDR
    return pngBitsPerPixel(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()), path, error);
}

} // namespace imaging
