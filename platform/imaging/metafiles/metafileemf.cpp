#include "platform/imaging/metafiles/metafileemf.h"

#include "platform/imaging/metafiles/emfplayer.h"
#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/metafiles/metafileheader.h"
#include "platform/imaging/formats/sourcefile.h"

#include <QFile>
#include <QGuiApplication>

namespace imaging {

namespace {

int openEmf(QFile& file, const QString& path, EmfHeader& header, QString& error) {
    if (const int rc = openSourceFile(file, path, error); rc != ApOk) return rc;
    return readEmfHeader(file, header, error);
}

} // namespace

int emfBitsPerPixel(const QString& path) {
    QFile file;
    EmfHeader header;
    QString error;
    const int rc = openEmf(file, path, header, error);
    return rc == ApOk ? 24 : rc;
}

int decodeEmf(const QString& path, const PageSink& sink, QString& error, const MetafileLimits& limits) {
    QFile file;
    EmfHeader header;
    if (const int rc = openEmf(file, path, header, error); rc != ApOk) return rc;
    const QSizeF mm = header.sizeMm();
    const int64_t fullWidth = metafilePixels(mm.width()), fullHeight = metafilePixels(mm.height());
    if (!withinLimits(fullWidth, fullHeight, fullWidth * 3 * fullHeight)) {
        error =
            QStringLiteral("EMF picture of %1 x %2 pixels is over the limits").arg(fullWidth).arg(fullHeight);
        return ApOverLimits;
    }
    // Text is drawn with Qt's fonts, which exist only in a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("EMF pictures need a GUI application for their fonts");
        return ApUnsupported;
    }
    const double dpi = metafileDpi(mm.width(), mm.height());
    const int width = int(metafilePixels(mm.width(), dpi)), height = int(metafilePixels(mm.height(), dpi));
    return drawMetafilePage(
        width, height, dpi,
        [&](QImage& canvas, QString& drawError) {
            emf::Player player(canvas, dpi, header, header.handles, limits.work);
            metafile::RecordReader records(file, metafile::RecordReader::Layout::Emf, 0,
                                           kMetafileMaxRecordBytes);
            return player.play(records, drawError);
        },
        sink, error);
}

} // namespace imaging
