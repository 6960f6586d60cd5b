#include "platform/imaging/formats/sniff.h"

#include "platform/imaging/formats/sourcefile.h"

#include <QFile>
#include <cstring>

namespace imaging {

namespace {

bool startsWith(const uint8_t* p, size_t n, const char* magic, size_t m) {
    return n >= m && std::memcmp(p, magic, m) == 0;
}

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isBmp(const uint8_t* p, size_t n) {
    if (n < 18 || p[0] != 'B' || p[1] != 'M') return false;
    switch (le32(p + 14)) { // size of the DIB header names its version
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

bool isPcx(const uint8_t* p, size_t n) {
    if (n < 128 || p[0] != 0x0A) return false;
    const bool version = p[1] == 0 || p[1] == 2 || p[1] == 3 || p[1] == 4 || p[1] == 5;
    const bool encoding = p[2] == 0 || p[2] == 1;
    const bool depth = p[3] == 1 || p[3] == 2 || p[3] == 4 || p[3] == 8;
    const int xmin = le16(p + 4), ymin = le16(p + 6), xmax = le16(p + 8), ymax = le16(p + 10);
    return version && encoding && depth && xmax >= xmin && ymax >= ymin && p[65] >= 1 && p[65] <= 4;
}

bool isIco(const uint8_t* p, size_t n) {
    if (n < 22 || !(p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0)) return false;
    const int count = le16(p + 4);
    return count > 0 && p[6 + 3] == 0 && le16(p + 6 + 4) <= 1 && le32(p + 6 + 8) > 0;
}

bool isPnm(const uint8_t* p, size_t n) {
    return n >= 3 && p[0] == 'P' && p[1] >= '1' && p[1] <= '7' &&
           (p[2] == ' ' || p[2] == '\n' || p[2] == '\r' || p[2] == '\t' || p[2] == '#');
}

bool isEmf(const uint8_t* p, size_t n) {
    return n >= 44 && le32(p) == 1 && std::memcmp(p + 40, " EMF", 4) == 0;
}

bool isWmf(const uint8_t* p, size_t n) {
    if (n >= 4 && le32(p) == 0x9AC6CDD7u) // placeable metafile
        return true;
    return n >= 18 && (le16(p) == 1 || le16(p) == 2) && le16(p + 2) == 9 &&
           (le16(p + 4) == 0x0300 || le16(p + 4) == 0x0100);
}

bool isTgaHeader(const uint8_t* p, size_t n) {
    if (n < 18) return false;
    const int mapType = p[1], type = p[2], depth = p[16];
    const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    if (!typeOk || mapType > 1 || le16(p + 12) == 0 || le16(p + 14) == 0) return false;
    if ((type == 1 || type == 9) != (mapType == 1)) return false;
    if (mapType == 1) {
        const int entryBits = p[7];
        if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) return false;
    } else if (p[3] || p[4] || p[5] || p[6] || p[7]) {
        return false;
    }
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

bool isPdf(const uint8_t* p, size_t n) {
    const size_t limit = std::min<size_t>(n, 1024);
    for (size_t i = 0; i + 5 <= limit; ++i)
        if (std::memcmp(p + i, "%PDF-", 5) == 0) return true;
    return false;
}

} // namespace

ImageFormat sniffFormat(const uint8_t* p, size_t n, const uint8_t* tail, size_t tailSize) {
    static const char jp2Sig[] = "\x00\x00\x00\x0CjP  \r\n\x87\n";
    if (startsWith(p, n, "II*\0", 4) || startsWith(p, n, "MM\0*", 4) || startsWith(p, n, "II+\0", 4) ||
        startsWith(p, n, "MM\0+", 4))
        return ImageFormat::Tiff;
    if (startsWith(p, n, "\xFF\xD8\xFF", 3)) return ImageFormat::Jpeg;
    if (startsWith(p, n, jp2Sig, 12)) return ImageFormat::Jp2;
    if (startsWith(p, n, "\xFF\x4F\xFF\x51", 4)) return ImageFormat::J2k;
    if (startsWith(p, n, "\x89PNG\r\n\x1A\n", 8)) return ImageFormat::Png;
    if (startsWith(p, n, "GIF87a", 6) || startsWith(p, n, "GIF89a", 6)) return ImageFormat::Gif;
    if (startsWith(p, n, "8BPS", 4)) return ImageFormat::Psd;
    if (startsWith(p, n, "\xB1\x68\xDE\x3A", 4)) return ImageFormat::Dcx;
    if (n >= 2048 + 7 && std::memcmp(p + 2048, "PCD_IPI", 7) == 0) return ImageFormat::Pcd;
    if (isEmf(p, n)) return ImageFormat::Emf;
    if (isWmf(p, n)) return ImageFormat::Wmf;
    if (isPdf(p, n)) return ImageFormat::Pdf;
    if (isBmp(p, n)) return ImageFormat::Bmp;
    if (isIco(p, n)) return ImageFormat::Ico;
    if (isPcx(p, n)) return ImageFormat::Pcx;
    if (isPnm(p, n)) return ImageFormat::Pnm;
    if (tailSize >= 18 && std::memcmp(tail + tailSize - 18, "TRUEVISION-XFILE.", 18) == 0)
        return ImageFormat::Tga;
    if (isTgaHeader(p, n)) return ImageFormat::Tga;
    return ImageFormat::Unknown;
}

int sniffFile(const QString& path, ImageFormat& format, QString& error) {
    format = ImageFormat::Unknown;
    QFile file;
    if (const int rc = openSourceFile(file, path, error); rc != ApOk)
        return rc;
    const QByteArray head = file.read(kSniffHeadBytes);
    if (head.isEmpty()) {
        error = QStringLiteral("%1 is empty").arg(path);
        return ApCorrupt;
    }
    QByteArray tail;
    if (file.size() >= 26 && file.seek(file.size() - 26)) tail = file.read(26);
    format = sniffFormat(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()),
                         reinterpret_cast<const uint8_t*>(tail.constData()), size_t(tail.size()));
    if (format == ImageFormat::Unknown) {
        error = QStringLiteral("%1 is not an image format we read").arg(path);
        return ApUnsupported;
    }
    return ApOk;
}

const char* formatName(ImageFormat format) {
    switch (format) {
    case ImageFormat::Unknown:
        return "unknown";
    case ImageFormat::Tiff:
        return "TIFF";
    case ImageFormat::Jpeg:
        return "JPEG";
    case ImageFormat::Jp2:
        return "JP2";
    case ImageFormat::J2k:
        return "J2K";
    case ImageFormat::Gif:
        return "GIF";
    case ImageFormat::Png:
        return "PNG";
    case ImageFormat::Psd:
        return "PSD";
    case ImageFormat::Bmp:
        return "BMP";
    case ImageFormat::Dcx:
        return "DCX";
    case ImageFormat::Pcx:
        return "PCX";
    case ImageFormat::Ico:
        return "ICO";
    case ImageFormat::Pnm:
        return "PNM";
    case ImageFormat::Pcd:
        return "PCD";
    case ImageFormat::Emf:
        return "EMF";
    case ImageFormat::Wmf:
        return "WMF";
    case ImageFormat::Tga:
        return "TGA";
    case ImageFormat::Pdf:
        return "PDF";
    }
    return "unknown";
}

} // namespace imaging
