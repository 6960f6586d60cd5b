#pragma once

// One PDF made of chosen pages of others, in the order they are added. Each page keeps its
// MediaBox, CropBox, Rotate, resources and annotations; attributes a page inherited from
// its page tree are written onto the page itself.

#include "platform/fileio/outputset.h"
#include "platform/pdfpages/pdffile.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>
#include <string>
#include <vector>

class QPDF;

namespace pdfpages {

// Appends to `target` the pages of `source` (read from `path`) that `range` selects (see
// pagerange.h), each with what it inherited from its page tree written onto it. Answers the
// number of pages added, 0 when the range selects none, or -1 with `failure` and nothing
// added. Every merge of PDF pages goes through here.
int appendPages(QPDF& target, QPDF& source, const QString& path, QStringView range, fileio::Failure& failure);

// A PDF version "M.m" as M * 10 + m (14 for one without a minor number).
int pdfVersionNumber(const std::string& version);

class PdfMerge {
public:
    PdfMerge();
    ~PdfMerge();
    PdfMerge(const PdfMerge&) = delete;
    PdfMerge& operator=(const PdfMerge&) = delete;

    // Appends the pages of `path` that `range` selects (see pagerange.h). On failure nothing
    // of that file is added.
    bool add(const QString& path, const QString& range, const QString& password, fileio::Failure& failure);

    int pageCount() const { return m_pages; }

    // Writes the document; a document without pages is refused.
    bool write(const QString& target, fileio::Failure& failure);

private:
    std::unique_ptr<QPDF> m_pdf;
    // Small sources are read whole: reopening a file for every read costs more than the
    // file. They are kept as long as the documents read from them.
    std::vector<std::unique_ptr<QByteArray>> m_contents;
    qint64 m_contentBytes = 0;
    // Sources stay open (their files closed) until the pages copied from them are written.
    std::vector<std::unique_ptr<QPDF>> m_sources;
    // Those read from their files, which must not change before the write.
    ReadSources m_read;
    int m_pages = 0;
    int m_version = 14;
};

} // namespace pdfpages
