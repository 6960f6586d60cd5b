#include "platform/imaging/metafiles/metafileheader.h"

#include "platform/imaging/formats/raster.h"

#include <cmath>

namespace imaging {

namespace {

// Byte by byte: callers check the size first.
uint32_t u8(const QByteArray& b, int i) { return static_cast<uint8_t>(b[i]); }
uint16_t le16(const QByteArray& b, int i) { return uint16_t(u8(b, i) | u8(b, i + 1) << 8); }
uint32_t le32(const QByteArray& b, int i) { return le16(b, i) | uint32_t(le16(b, i + 2)) << 16; }
int32_t le32s(const QByteArray& b, int i) { return int32_t(le32(b, i)); }

QRect rectAt(const QByteArray& b, int i) {
    return QRect(QPoint(le32s(b, i), le32s(b, i + 4)), QPoint(le32s(b, i + 8), le32s(b, i + 12)));
}

} // namespace

QSizeF EmfHeader::sizeMm() const {
    if (frame.right() > frame.left() && frame.bottom() > frame.top())
        return QSizeF((double(frame.right()) - frame.left()) / 100.0, (double(frame.bottom()) - frame.top()) / 100.0);
    return QSizeF((double(bounds.right()) - bounds.left() + 1) * millimetres.width() / device.width(),
                  (double(bounds.bottom()) - bounds.top() + 1) * millimetres.height() / device.height());
}

QRectF EmfHeader::frameInDevice() const {
    const double px = double(device.width()) / millimetres.width() / 100.0; // device units per 0.01 mm
    const double py = double(device.height()) / millimetres.height() / 100.0;
    if (frame.right() > frame.left() && frame.bottom() > frame.top())
        return QRectF(frame.left() * px, frame.top() * py, (double(frame.right()) - frame.left()) * px,
                      (double(frame.bottom()) - frame.top()) * py);
    return QRectF(bounds.left(), bounds.top(), double(bounds.right()) - bounds.left() + 1,
                  double(bounds.bottom()) - bounds.top() + 1);
}

int readEmfHeader(QIODevice& device, EmfHeader& header, QString& error) {
    device.seek(0);
    const QByteArray b = device.read(88);
    if (b.size() < 88 || le32(b, 0) != 1 || le32(b, 40) != 0x464D4520u) {
        error = QStringLiteral("not an EMF header");
        return ApCorrupt;
    }
    header.bounds = rectAt(b, 8);
    header.frame = rectAt(b, 24);
    header.device = QSize(le32s(b, 72), le32s(b, 76));
    header.millimetres = QSize(le32s(b, 80), le32s(b, 84));
    header.handles = le16(b, 56);
    const bool frameOk = header.frame.right() > header.frame.left() && header.frame.bottom() > header.frame.top();
    const bool boundsOk = header.bounds.right() >= header.bounds.left() && header.bounds.bottom() >= header.bounds.top();
    if (header.device.width() <= 0 || header.device.height() <= 0 || header.millimetres.width() <= 0 ||
        header.millimetres.height() <= 0 || (!frameOk && !boundsOk)) {
        error = QStringLiteral("EMF header without a picture size");
        return ApCorrupt;
    }
    return ApOk;
}

double metafileDpi(double widthMm, double heightMm) {
    const double squareInches = std::fabs(widthMm * heightMm) / (25.4 * 25.4);
    double dpi = squareInches > 0 ? std::sqrt(kMetafileMaxPixels / squareInches) : kMetafileDpi;
    const double longestInches = std::max(std::fabs(widthMm), std::fabs(heightMm)) / 25.4;
    if (longestInches > 0)
        dpi = std::min(dpi, kMetafileMaxSide / longestInches);
    return std::min(kMetafileDpi, std::floor(dpi));
}

int64_t metafilePixels(double mm, double dpi) {
    const double px = std::round(std::fabs(mm) / 25.4 * dpi);
    if (!(px < double(kMaxSide) * 4))
        return kMaxSide * 4; // any value over the limit; keeps the arithmetic finite
    return std::max<int64_t>(1, int64_t(px));
}

} // namespace imaging
