#pragma once

// The PDF being built: one QPDF document that image pages and the pages of other PDFs
// are appended to, written at the end to a temporary file beside the target and renamed
// into place.

#include "platform/imaging/encodedimage.h"
#include "platform/imaging/streamstore.h"

#include <QString>
#include <functional>
#include <memory>

class QPDF;

namespace imaging {

class PdfDocument {
public:
    PdfDocument();
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    StreamStore& store() { return m_store; }
    int pageCount() const;

    // Adds one page showing `page`; throws (QPDF) on failure.
    void addImagePage(const EncodedPage& page);

    // Appends every page of the PDF at `path`; answers the number of pages, or an ApCode
    // with nothing added (ApEncrypted for a file that needs a password to open).
    int appendPdf(const QString& path, QString& error);

    // Removes the pages after the first `count` (a file that failed half-way).
    void truncatePages(int count);

    // Writes and commits the document; answers ApOk or an ApCode with `target` untouched.
    // `progress` receives the percentage of the document's objects written so far.
    int write(const QString& target, QString& error, const std::function<void(int percent)>& progress = {});

    // At least this PDF version (major * 10 + minor, e.g. 15) is written.
    void requireVersion(int version);

private:
    class Provider;

    StreamStore m_store;
    std::unique_ptr<QPDF> m_pdf;
    std::shared_ptr<Provider> m_provider;
    int m_version = 14;
};

} // namespace imaging
