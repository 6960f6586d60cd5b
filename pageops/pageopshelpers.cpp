#include "pageops/pageopshelpers.h"

#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/imaging/formats/raster.h"
#include "platform/pdfrender/pdftoimage.h"

#include <QDir>
#include <QFile>

namespace pageops {

namespace {

[[noreturn]] void raiseRender() {
    const fileio::Failure failure = pdfrender::apLastFailure();
    raiseError(failure.number ? failure.number : 75, failure.text);
}

// The classic number for a failure of the image-to-PDF library.
int numberOfImagingCode(int code, const QString& source) {
    switch (code) {
    case imaging::ApCannotRead:
        return QFile::exists(source) ? 75 : 53;
    case imaging::ApCannotWrite:
        return 75;
    case imaging::ApDiskFull:
        return 61;
    case imaging::ApBadArgument:
        return 5;
    default:
        return 321;
    }
}

} // namespace

void check(bool ok, const fileio::Failure& failure) {
    if (!ok) raiseError(failure.number ? failure.number : 75, failure.text);
}

QString folderForSource(const QString& source, const QString& outputFolder) {
    const QString name = modGeneral::GetFileName(source.trimmed());
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) raiseError(5, QStringLiteral("%1: a file name without extension").arg(name));
    const QString folder = modGeneral::ValidateDir(outputFolder) + name.left(dot);
    if (!QDir(folder).exists() && !QDir().mkdir(folder))
        raiseError(76, QStringLiteral("cannot create the folder %1").arg(folder));
    return folder;
}

void convertToPdf(const QString& source, const QString& target, fileio::OutputSet* outputs) {
    const int handle = imaging::ApCreate(target);
    if (handle <= 0) raiseError(numberOfImagingCode(handle, source), imaging::ApLastError());
    const int added = imaging::ApAddImage(handle, source);
    if (added <= 0) {
        const QString text = imaging::ApLastError();
        imaging::ApDiscard(handle);
        raiseError(numberOfImagingCode(added < 0 ? added : imaging::ApNoPage, source), text);
    }
    if (const int closed = imaging::ApClose(handle, {}, outputs); closed != 0)
        raiseError(numberOfImagingCode(closed, source), imaging::ApLastError());
}

RenderJob::RenderJob(const QString& pdf) : m_handle(pdfrender::apOpen(pdf)) {
    if (m_handle < 1) raiseRender();
}

RenderJob::~RenderJob() {
    if (m_handle > 0) pdfrender::apDiscard(m_handle);
}

void RenderJob::set(int property, const QString& text, int value) {
    if (pdfrender::apSetProperty(m_handle, property, text, value) != 0) raiseRender();
}

int RenderJob::pageCount() const { return pdfrender::apPageCount(m_handle); }

void RenderJob::convert(int page) {
    if (pdfrender::apConvertPage(m_handle, page) != 0) raiseRender();
}

void RenderJob::close() {
    const int handle = m_handle;
    m_handle = 0;
    if (pdfrender::apClose(handle) != 0) raiseRender();
}

} // namespace pageops
