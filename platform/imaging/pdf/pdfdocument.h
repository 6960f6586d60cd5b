#pragma once

// The PDF being built: image pages, and the pages of other PDFs appended to them, written at
// the end to a temporary file beside the target and renamed into place. A document of image
// pages only is written by our own writer; once another PDF's pages join, the document moves
// to a QPDF document and QPDF writes it.

#include "platform/fileio/atomicwriter.h"
#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/formats/sourcefile.h"
#include "platform/imaging/pdf/streamstore.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPDF;
class QPDFObjectHandle;

namespace fileio {
class OutputSet;
}

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
    // with nothing added (ApEncrypted for a file that needs a password to open). `stamp` is
    // the file's as it was examined: its pages' streams are copied from the file while
    // writing, so a file that no longer carries it by then fails the write.
    int appendPdf(const QString& path, const FileStamp& stamp, QString& error);

    // Removes the pages after the first `count` (a file that failed half-way).
    void truncatePages(int count);

    // What identifies a source whose pages were added: the document's ID is made from the
    // sources, their stamps and the pages, not from a hash of the whole output.
    void noteSource(const QString& path, const FileStamp& stamp);

    // Writes and commits the document; answers ApOk or an ApCode with `target` untouched.
    // `progress` receives the percentage of the document's objects written so far.
    // With NoReplace an existing target is left alone, checked at the commit itself. With
    // `outputs` the document waits there, out of place, for the other files of its call.
    // With `durable` the file is synced before it is put in place.
    int write(const QString& target, QString& error, const std::function<void(int percent)>& progress = {},
              fileio::AtomicWriter::Mode mode = fileio::AtomicWriter::Mode::Replace,
              fileio::OutputSet* outputs = nullptr, bool durable = false);

    // At least this PDF version (major * 10 + minor, e.g. 15) is written.
    void requireVersion(int version);

    // Test seam: every document gets one fixed ID, so that the same input gives the same bytes.
    static void setFixedIdForTests(bool fixed);

private:
    class Provider;
    // From image pages only to a QPDF document holding them (another PDF's pages join).
    void moveToQpdf();
    void addToQpdf(const EncodedPage& page);
    QPDFObjectHandle makeImage(const ImageStream& s, bool isMask, const std::string& maskRef);
    std::string documentId(const QString& target) const;
    // Whether every appended PDF is still the file its pages were taken from.
    bool pdfSourcesUnchanged(QString& error) const;

    StreamStore m_store;
    std::vector<EncodedPage> m_images; // while the document holds image pages only
    std::unique_ptr<QPDF> m_pdf;       // once another PDF's pages were appended
    std::shared_ptr<Provider> m_provider;
    std::vector<std::pair<QString, FileStamp>> m_pdfSources;
    std::string m_identity;
    int m_version = 14;
};

} // namespace imaging
