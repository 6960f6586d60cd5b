#include "platform/imaging/metafileemf.h"

#include "platform/imaging/magickheader.h"
#include "platform/imaging/metafileheader.h"
#include "platform/imaging/sourcefile.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLibrary>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <emf2svg.h>

namespace imaging {

namespace {

// Pixels drawn per pass: bounds the temporary image for large pages. Every pass draws the
// whole picture again, so a band is as tall as this allows (a page 15 pixels wide and
// 250,000 tall is drawn in one pass, not 240).
constexpr int64_t kBandPixels = int64_t(4) << 20;

int openEmf(QFile& file, const QString& path, EmfHeader& header, QString& error) {
    if (const int rc = openSourceFile(file, path, error); rc != ApOk)
        return rc;
    return readEmfHeader(file, header, error);
}

using Emf2Svg = int (*)(char*, size_t, char**, size_t*, generatorOptions*);

// libemf2svg is opened with local symbols: it brings libuemf, whose wmf_free() would
// otherwise take the place of libwmf's should ImageMagick load its WMF module (our policy
// leaves that coder unused; the two must still never meet).
Emf2Svg loadEmf2Svg() {
    static const Emf2Svg convert = [] {
        static QLibrary library(QStringLiteral("emf2svg"), 1);
        return reinterpret_cast<Emf2Svg>(library.resolve("emf2svg"));
    }();
    return convert;
}

int emfToSvg(QByteArray data, QByteArray& svg, QString& error) {
    const Emf2Svg emf2svg = loadEmf2Svg();
    if (!emf2svg) {
        error = QStringLiteral("libemf2svg is not installed");
        return ApUnsupported;
    }
    generatorOptions options{};
    // No name space: with one, libemf2svg leaks its prefix string on every call.
    options.nameSpace = nullptr;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(data.data(), size_t(data.size()), &out, &outLength, &options);
    if (out) {
        svg = QByteArray(out, qsizetype(outLength));
        std::free(out);
    }
    if (!ok || svg.isEmpty()) {
        error = QStringLiteral("EMF records could not be read");
        return ApCorrupt;
    }
    return ApOk;
}

// Draws the records at `dpi` onto a white page of `width` x `height` pixels, band by band.
int drawEmf(QByteArray records, const EmfHeader& header, int64_t width, int64_t height, double dpi, RasterPage& page,
            QString& error) {
    QByteArray svg;
    int rc = emfToSvg(std::move(records), svg, error);
    if (rc != ApOk)
        return rc;

    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        error = QStringLiteral("EMF records gave no picture");
        return ApCorrupt;
    }
    // The SVG's user space is the drawing's device space moved to the bounds' corner.
    const QRectF frame = header.frameInDevice().translated(-double(header.bounds.left()), -double(header.bounds.top()));
    renderer.setViewBox(frame);

    page.width = int(width);
    page.height = int(height);
    page.model = ColourModel::RGB;
    page.bitsPerComponent = 8;
    page.dpiX = page.dpiY = dpi;
    page.storedBitsPerPixel = 24;
    const size_t rowBytes = page.rowBytes();
    page.pixels.reserve(rowBytes * size_t(height)); // filled band by band as they are drawn
    const int bandRows = int(std::clamp<int64_t>(kBandPixels / std::max(1, page.width), 1, page.height));
    for (int y = 0; y < page.height; y += bandRows) {
        const int rows = std::min(bandRows, page.height - y);
        QImage band(page.width, rows, QImage::Format_RGB888);
        if (band.isNull()) {
            error = QStringLiteral("out of memory while drawing the EMF picture");
            return ApOverLimits;
        }
        band.fill(Qt::white);
        QPainter painter(&band);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(0, -y);
        renderer.render(&painter, QRectF(0, 0, page.width, page.height));
        painter.end();
        page.pixels.resize(size_t(y + rows) * rowBytes);
        for (int r = 0; r < rows; ++r)
            std::memcpy(page.pixels.data() + size_t(y + r) * rowBytes, band.constScanLine(r), rowBytes);
    }
    return ApOk;
}

} // namespace

int emfBitsPerPixel(const QString& path) {
    QFile file;
    EmfHeader header;
    QString error;
    const int rc = openEmf(file, path, header, error);
    return rc == ApOk ? 24 : rc;
}

int decodeEmf(const QString& path, const PageSink& sink, QString& error) {
    QFile file;
    EmfHeader header;
    int rc = openEmf(file, path, header, error);
    if (rc != ApOk)
        return rc;
    const QSizeF mm = header.sizeMm();
    const int64_t fullWidth = metafilePixels(mm.width()), fullHeight = metafilePixels(mm.height());
    if (!withinLimits(fullWidth, fullHeight, fullWidth * 3 * fullHeight)) {
        error = QStringLiteral("EMF picture of %1 x %2 pixels is over the limits").arg(fullWidth).arg(fullHeight);
        return ApOverLimits;
    }
    const double dpi = metafileDpi(mm.width(), mm.height());
    const int64_t width = metafilePixels(mm.width(), dpi), height = metafilePixels(mm.height(), dpi);
    // Text is drawn with Qt's fonts, which exist only in a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("EMF pictures need a GUI application for their fonts");
        return ApUnsupported;
    }
    QByteArray records;
    if ((rc = readWholeFile(file, records, error)) != ApOk)
        return rc;
    // Drawn in this process: Qt's painting is not safe in a forked child (its thread pool's
    // threads are not there), and a picture is drawn in a few passes at most.
    RasterPage page;
    if ((rc = drawEmf(std::move(records), header, width, height, dpi, page, error)) != ApOk)
        return rc;
    return sink(page);
}

} // namespace imaging
