// Appending the pages of another PDF to the document.
#include "platform/imaging/pdf/pdfdocument.h"

#include "platform/imaging/formats/sourcefile.h"
#include "platform/pdfpages/pdffile.h"
#include "platform/pdfpages/pdfmerge.h"

#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/QPDF.hh>

namespace imaging {

namespace {

// The library's code for a failure to open or read a PDF.
int codeOfFailure(const fileio::Failure& failure) {
    switch (failure.number) {
    case pdfpages::kNeedsPassword:
        return ApEncrypted;
    case pdfpages::kFileAccess:
    case pdfpages::kFileNotFound:
        return ApCannotRead;
    default:
        return ApCorrupt;
    }
}

} // namespace

int PdfDocument::appendPdf(const QString& path, const FileStamp& stamp, QString& error) {
    if (const int rc = checkSourceFile(path, error); rc != ApOk)
        return rc;
    moveToQpdf();
    fileio::Failure failure;
    // The source is reopened whenever QPDF needs its streams while writing, so a merge of
    // many PDFs holds no file open in between. A file that needs a password to open fails
    // here; one protected only by an owner password opens with the empty one and is merged
    // like any other.
    std::shared_ptr<ClosedFileInputSource> input;
    const std::unique_ptr<QPDF> source =
        pdfpages::openPdf(path, QString(), failure, {.closedBetweenReads = true, .openInput = &input});
    const int added = source ? pdfpages::appendPages(*m_pdf, *source, path, u"", failure) : -1;
    if (input) input->stayOpen(false);
    if (added == 0) {
        error = QStringLiteral("%1 has no page").arg(path);
        return ApNoPage;
    }
    if (added < 0) {
        error = failure.text;
        return codeOfFailure(failure);
    }
    requireVersion(pdfpages::pdfVersionNumber(source->getPDFVersion()));
    m_pdfSources.emplace_back(path, stamp);
    return added;
}

} // namespace imaging
