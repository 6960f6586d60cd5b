#include "platform/imaging/metafiles/metafileemf.h"

#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/metafiles/emfplayer.h"
#include "platform/imaging/metafiles/metafileheader.h"
#include "platform/imaging/metafiles/metafilepage.h"

#include <QFile>

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
    return drawMetafile(
        "EMF", header.sizeMm(),
        [&](QImage& canvas, double dpi, QString& drawError) {
            emf::Player player(canvas, dpi, header, header.handles, limits.work);
            metafile::RecordReader records(file, metafile::RecordReader::Layout::Emf, 0,
                                           kMetafileMaxRecordBytes);
            return player.play(records, drawError);
        },
        sink, error);
}

} // namespace imaging
