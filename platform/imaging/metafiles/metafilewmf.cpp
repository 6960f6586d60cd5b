#include "platform/imaging/metafiles/metafilewmf.h"

#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/metafiles/metafileheader.h"
#include "platform/imaging/metafiles/metafilepage.h"
#include "platform/imaging/metafiles/wmfplayer.h"

#include <QFile>
#include <cmath>

namespace imaging {

namespace {

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
    metafile::RecordReader records(file, metafile::RecordReader::Layout::Wmf, header.recordsAt,
                                   kMetafileMaxRecordBytes);
    QPointF origin;
    QSizeF extent;
    const int rc = wmf::windowSizeInches(records, inches, origin, extent, error);
    window = QRectF(origin, extent);
    return rc;
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

int decodeWmf(const QString& path, const PageSink& sink, QString& error, const MetafileLimits& limits) {
    QFile file;
    wmf::FileHeader header;
    int rc = openWmf(file, path, header, error);
    if (rc != ApOk) return rc;
    QRectF window;
    QSizeF inches;
    if ((rc = frameOf(file, header, window, inches, error)) != ApOk) return rc;
    return drawMetafile(
        "WMF", inches * 25.4,
        [&](QImage& canvas, double dpi, QString& drawError) {
            wmf::Player player(canvas, dpi, window, header.objects, limits.work);
            metafile::RecordReader records(file, metafile::RecordReader::Layout::Wmf, header.recordsAt,
                                           kMetafileMaxRecordBytes);
            return player.play(records, drawError);
        },
        sink, error);
}

} // namespace imaging
