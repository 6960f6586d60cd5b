#include "platform/imaging/metafilewmf.h"

#include "platform/imaging/isolateddecode.h"
#include "platform/imaging/magickdecoder.h"
#include "platform/imaging/magickruntime.h"
#include "platform/imaging/metafileheader.h"
#include "platform/imaging/sourcefile.h"

#include <QFile>
#include <cmath>

namespace imaging {

namespace {

int openWmf(QFile& file, const QString& path, WmfHeader& header, QString& error) {
    if (const int rc = openSourceFile(file, path, error); rc != ApOk)
        return rc;
    return readWmfHeader(file, header, error);
}

} // namespace

int wmfBitsPerPixel(const QString& path) {
    QFile file;
    WmfHeader header;
    QString error;
    const int rc = openWmf(file, path, header, error);
    return rc == ApOk ? 24 : rc;
}

int decodeWmf(const QString& path, const PageSink& sink, QString& error) {
    QFile file;
    WmfHeader wmf;
    int rc = openWmf(file, path, wmf, error);
    if (rc != ApOk)
        return rc;
    MagickHeader header;
    header.bitsPerPixel = 24;
    double dpi = kMetafileDpi;
    if (wmf.placeable) {
        // The size the header promises, checked before libwmf draws anything.
        header.width = metafilePixels(std::abs(wmf.box.right() - wmf.box.left()) * 25.4 / wmf.unitsPerInch);
        header.height = metafilePixels(std::abs(wmf.box.bottom() - wmf.box.top()) * 25.4 / wmf.unitsPerInch);
        if (!withinLimits(header.width, header.height, header.decodedBytes())) {
            error = QStringLiteral("WMF picture of %1 x %2 pixels is over the limits").arg(header.width).arg(header.height);
            return ApOverLimits;
        }
        dpi = metafileDpi(std::abs(wmf.box.right() - wmf.box.left()) * 25.4 / wmf.unitsPerInch,
                          std::abs(wmf.box.bottom() - wmf.box.top()) * 25.4 / wmf.unitsPerInch);
        header.width = header.height = 0; // checked; the page is drawn at `dpi`
    }
    QByteArray records;
    if ((rc = readWholeFile(file, records, error)) != ApOk)
        return rc;
    MagickRead how;
    how.coder = "WMF";
    how.density = dpi;
    how.maxPixels = kMetafileMaxPixels;
    how.flattenOnWhite = true;
    RasterPage page;
    ensureMagickReady(); // once, here, rather than in every child
    // libwmf and ImageMagick's drawing cost follows the records' coordinates, pens and fonts,
    // not the file's size: drawn apart, with a time and memory limit.
    rc = decodeIsolated([&](RasterPage& drawn, QString& why) {
        return decodeMagickPage(std::move(records), how, header, drawn, why);
    }, page, error);
    if (rc != ApOk)
        return rc;
    page.storedBitsPerPixel = 24;
    return sink(page);
}

} // namespace imaging
