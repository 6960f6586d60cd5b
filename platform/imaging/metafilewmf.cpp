#include "platform/imaging/metafilewmf.h"

#include "platform/imaging/magickheader.h"
#include "platform/imaging/metafileheader.h"
#include "platform/imaging/sourcefile.h"
#include "platform/imaging/wmfplayer.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <new>
#include <sys/mman.h>

namespace imaging {

namespace {

// A record larger than this (a bitmap of more than about 20 million pixels) is refused.
constexpr qint64 kMaxRecordBytes = qint64(64) << 20;

int openWmf(QFile& file, const QString& path, wmf::FileHeader& header, QString& error) {
    if (const int rc = openSourceFile(file, path, error); rc != ApOk) return rc;
    return wmf::readFileHeader(file, header, error);
}

// Where the picture lies in its logical units, and its size in inches.
int frameOf(QFile& file, const wmf::FileHeader& header, QRectF& window, QSizeF& inches, QString& error) {
    if (header.placeable) {
        const double w = std::abs(header.right - header.left), h = std::abs(header.bottom - header.top);
        window = QRectF(std::min(header.left, header.right), std::min(header.top, header.bottom), w, h);
        inches = QSizeF(w / header.unitsPerInch, h / header.unitsPerInch);
        return ApOk;
    }
    wmf::RecordReader records(file, header.recordsAt, kMaxRecordBytes);
    QPointF origin;
    QSizeF extent;
    const int rc = wmf::windowSizeInches(records, inches, origin, extent, error);
    window = QRectF(origin, extent);
    return rc;
}

// RGB32 pixels (blue, green, red, unused) packed into RGB triples where they lie: each
// triple is written no further on than the pixel it comes from.
void packRgb(std::vector<uint8_t>& pixels, size_t count) {
    uint8_t* p = pixels.data();
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = p[4 * i], g = p[4 * i + 1], r = p[4 * i + 2];
        p[3 * i] = r;
        p[3 * i + 1] = g;
        p[3 * i + 2] = b;
    }
    pixels.resize(3 * count);
}

// A page is touched whole, page by page of memory: in large pages it takes a few hundred
// faults rather than tens of thousands.
void adviseHugePages(void* data, size_t bytes) {
    const uintptr_t huge = uintptr_t(2) << 20;
    const uintptr_t from = (uintptr_t(data) + huge - 1) & ~(huge - 1),
                    to = (uintptr_t(data) + bytes) & ~(huge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

} // namespace

int wmfBitsPerPixel(const QString& path) {
    QFile file;
    wmf::FileHeader header;
    QString error;
    int rc = openWmf(file, path, header, error);
    QRectF window;
    QSizeF inches;
    if (rc == ApOk) rc = frameOf(file, header, window, inches, error);
    return rc == ApOk ? 24 : rc;
}

int decodeWmf(const QString& path, const PageSink& sink, QString& error, const WmfLimits& limits) {
    QFile file;
    wmf::FileHeader header;
    int rc = openWmf(file, path, header, error);
    if (rc != ApOk) return rc;
    QRectF window;
    QSizeF inches;
    if ((rc = frameOf(file, header, window, inches, error)) != ApOk) return rc;
    const double widthMm = inches.width() * 25.4, heightMm = inches.height() * 25.4;
    const int64_t fullWidth = metafilePixels(widthMm), fullHeight = metafilePixels(heightMm);
    if (!withinLimits(fullWidth, fullHeight, fullWidth * 3 * fullHeight)) {
        error =
            QStringLiteral("WMF picture of %1 x %2 pixels is over the limits").arg(fullWidth).arg(fullHeight);
        return ApOverLimits;
    }
    // Text is drawn with Qt's fonts, which exist only in a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("WMF pictures need a GUI application for their fonts");
        return ApUnsupported;
    }
    const double dpi = metafileDpi(widthMm, heightMm);
    const int width = int(metafilePixels(widthMm, dpi)), height = int(metafilePixels(heightMm, dpi));
    const size_t count = size_t(width) * size_t(height);
    std::vector<uint8_t> pixels;
    try {
        pixels.reserve(4 * count);
        adviseHugePages(pixels.data(), pixels.capacity());
        pixels.assign(4 * count, 0xFF); // a white page in RGB32, packed in place once drawn
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("out of memory while drawing the WMF picture");
        return ApOverLimits;
    }
    {
        QImage canvas(pixels.data(), width, height, qsizetype(4) * width, QImage::Format_RGB32);
        canvas.setDotsPerMeterX(2835); // 72 dpi: font sizes in points are pixels of the page
        canvas.setDotsPerMeterY(2835);
        wmf::Player player(canvas, dpi, window, header.objects, limits.work);
        wmf::RecordReader records(file, header.recordsAt, kMaxRecordBytes);
        if ((rc = player.play(records, error)) != ApOk) return rc;
    }
    packRgb(pixels, count);
    RasterPage page;
    page.width = width;
    page.height = height;
    page.model = ColourModel::RGB;
    page.bitsPerComponent = 8;
    page.dpiX = page.dpiY = dpi;
    page.storedBitsPerPixel = 24;
    page.pixels = std::move(pixels);
    return sink(page);
}

} // namespace imaging
