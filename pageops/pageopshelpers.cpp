#include "pageops/pageopshelpers.h"

#include "core/failurenumbers.h"
#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/imaging/formats/raster.h"
#include "platform/pdfrender/pdftoimage.h"

#include <QDir>
#include <source_location>

namespace pageops {

namespace {

[[noreturn]] void raiseRender() { failurenumbers::raise(pdfrender::apLastFailure()); }

// Raises the image-to-PDF library's failure as a page operation reports it.
[[noreturn]] void raiseImaging(const fileio::Failure& failure, const QString& source,
                               std::source_location where = std::source_location::current()) {
    failurenumbers::raise(failurenumbers::ofImagingForPages(failure, source), failure, where);
}

} // namespace

void check(bool ok, const fileio::Failure& failure) {
    if (!ok) failurenumbers::raise(failure);
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
    if (handle <= 0) raiseImaging(imaging::ApLastFailure(), source);
    const int added = imaging::ApAddImage(handle, source);
    if (added <= 0) {
        fileio::Failure failure = imaging::ApLastFailure();
        if (added == 0) failure.number = imaging::ApNoPage;
        imaging::ApDiscard(handle);
        raiseImaging(failure, source);
    }
    if (const int closed = imaging::ApClose(handle, {}, outputs); closed != 0)
        raiseImaging(imaging::ApLastFailure(), source);
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
