#include "platform/imaging/metafilewmf.h"

#include "platform/imaging/magickdecoder.h"
#include "platform/imaging/metafileheader.h"

#include <QFile>
#include <cmath>

namespace imaging {

namespace {

int openWmf(QFile& file, WmfHeader& header, QString& error) {
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return ApCannotRead;
    }
    return readWmfHeader(file, header, error);
}

} // namespace

int wmfBitsPerPixel(const QString& path) {
    QFile file(path);
    WmfHeader header;
    QString error;
    const int rc = openWmf(file, header, error);
    return rc == ApOk ? 24 : rc;
}

int decodeWmf(const QString& path, const PageSink& sink, QString& error) {
    QFile file(path);
    WmfHeader wmf;
    int rc = openWmf(file, wmf, error);
    if (rc != ApOk)
        return rc;
    MagickHeader header;
    header.bitsPerPixel = 24;
    if (wmf.placeable) {
        // The size the header promises, checked before libwmf draws anything.
        header.width = metafilePixels(std::abs(wmf.box.right() - wmf.box.left()) * 25.4 / wmf.unitsPerInch);
        header.height = metafilePixels(std::abs(wmf.box.bottom() - wmf.box.top()) * 25.4 / wmf.unitsPerInch);
        if (!withinLimits(header.width, header.height, header.decodedBytes())) {
            error = QStringLiteral("WMF picture of %1 x %2 pixels is over the limits").arg(header.width).arg(header.height);
            return ApOverLimits;
        }
    }
    file.seek(0);
    MagickRead how;
    how.coder = "WMF";
    how.density = kMetafileDpi;
    how.flattenOnWhite = true;
    RasterPage page;
    rc = decodeMagickPage(file.readAll(), how, header, page, error);
    if (rc != ApOk)
        return rc;
    // libwmf draws at the density asked; say so even where it leaves the units unset.
    page.dpiX = page.dpiY = kMetafileDpi;
    page.storedBitsPerPixel = 24;
    return sink(page);
}

} // namespace imaging
