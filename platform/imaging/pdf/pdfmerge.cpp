// Appending the pages of another PDF to the document.
#include "platform/imaging/pdf/pdfdocument.h"

#include "platform/imaging/formats/sourcefile.h"

#include <QFile>
#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

namespace imaging {

namespace {

int versionNumber(const std::string& v) {
    const auto dot = v.find('.');
    if (dot == std::string::npos) return 14;
    return std::atoi(v.substr(0, dot).c_str()) * 10 + std::atoi(v.substr(dot + 1).c_str());
}

} // namespace

int PdfDocument::appendPdf(const QString& path, const FileStamp& stamp, QString& error) {
    if (const int rc = checkSourceFile(path, error); rc != ApOk)
        return rc;
    moveToQpdf();
    const int before = pageCount();
    try {
        // The source is reopened whenever QPDF needs its streams while writing, so a
        // merge of many PDFs holds no file open in between.
        auto input = std::make_shared<ClosedFileInputSource>(QFile::encodeName(path).constData());
        input->stayOpen(true);
        QPDF source;
        source.setSuppressWarnings(true);
        source.processInputSource(input);
        // A file that needs a password to open has thrown by now; one protected only by an
        // owner password opens with the empty one and is merged like any other.
        source.pushInheritedAttributesToPage(); // MediaBox, CropBox, Rotate, Resources
        const std::vector<QPDFObjectHandle> pages = source.getAllPages();
        if (pages.empty()) {
            error = QStringLiteral("%1 has no page").arg(path);
            return ApNoPage;
        }
        for (const QPDFObjectHandle& page : pages)
            m_pdf->addPage(page, false);
        requireVersion(versionNumber(source.getPDFVersion()));
        input->stayOpen(false);
        m_pdfSources.emplace_back(path, stamp);
    } catch (const QPDFExc& e) {
        truncatePages(before);
        error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what()));
        return e.getErrorCode() == qpdf_e_password ? ApEncrypted
               : e.getErrorCode() == qpdf_e_system ? ApCannotRead
                                                   : ApCorrupt;
    } catch (const std::exception& e) {
        truncatePages(before);
        error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what()));
        return ApCorrupt;
    }
    return pageCount() - before;
}

} // namespace imaging
