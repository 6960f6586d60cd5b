#include "platform/imaging/metafiles/wmfrecords.h"

#include "platform/imaging/formats/raster.h"

namespace imaging::wmf {

namespace {

constexpr int kPlaceableBytes = 22;
constexpr int kHeaderBytes = 18;

uint16_t le16(const char* p) {
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}
uint32_t le32(const char* p) {
    return le16(p) | uint32_t(le16(p + 2)) << 16;
}

} // namespace

int readFileHeader(QIODevice& device, FileHeader& header, QString& error) {
    header = FileHeader();
    device.seek(0);
    const QByteArray b = device.read(kPlaceableBytes + kHeaderBytes);
    const char* p = b.constData();
    qint64 standard = 0;
    if (b.size() >= kPlaceableBytes && le32(p) == 0x9AC6CDD7u) {
        header.placeable = true;
        header.left = int16_t(le16(p + 6));
        header.top = int16_t(le16(p + 8));
        header.right = int16_t(le16(p + 10));
        header.bottom = int16_t(le16(p + 12));
        header.unitsPerInch = le16(p + 14);
        standard = kPlaceableBytes;
        if (header.unitsPerInch == 0 || header.left == header.right || header.top == header.bottom) {
            error = QStringLiteral("WMF placeable header without a picture size");
            return ApCorrupt;
        }
    }
    const char* h = p + standard;
    if (b.size() < standard + kHeaderBytes || (le16(h) != 1 && le16(h) != 2) || le16(h + 2) != 9 ||
        (le16(h + 4) != 0x0100 && le16(h + 4) != 0x0300)) {
        error = QStringLiteral("not a WMF header");
        return ApCorrupt;
    }
    header.objects = le16(h + 10);
    header.recordsAt = standard + kHeaderBytes;
    return ApOk;
}

} // namespace imaging::wmf
