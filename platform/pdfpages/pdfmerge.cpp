#include "platform/pdfpages/pdfmerge.h"

#include "platform/pdfpages/pagerange.h"
#include "platform/pdfpages/pdffile.h"

#include <QFile>
#include <QFileInfo>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

namespace pdfpages {

namespace {

constexpr qint64 kWholeFileLimit = qint64(8) << 20;
constexpr qint64 kContentBudget = qint64(512) << 20;

} // namespace

int pdfVersionNumber(const std::string& v) {
    const auto dot = v.find('.');
    if (dot == std::string::npos) return 14;
    return std::atoi(v.substr(0, dot).c_str()) * 10 + std::atoi(v.substr(dot + 1).c_str());
}

int appendPages(QPDF& target, QPDF& source, const QString& path, QStringView range, fileio::Failure& failure) {
    const size_t before = target.getAllPages().size();
    try {
        source.pushInheritedAttributesToPage(); // MediaBox, CropBox, Rotate, Resources
        const std::vector<QPDFObjectHandle>& pages = source.getAllPages();
        std::vector<RangeItem> items;
        if (!parsePageRange(range, int(pages.size()), items, failure)) {
            failure.text = QStringLiteral("%1: %2").arg(path, failure.text);
            return -1;
        }
        const std::vector<int> chosen = rangePages(items);
        for (int page : chosen)
            target.addPage(pages[size_t(page - 1)], false);
        return int(chosen.size());
    } catch (const std::exception& e) {
        // Take back what this file added, so a failed file leaves no trace.
        while (target.getAllPages().size() > before)
            target.removePage(target.getAllPages().back());
        failFromException(e, path, failure);
        return -1;
    }
}

PdfMerge::PdfMerge() : m_pdf(std::make_unique<QPDF>()) {
    m_pdf->emptyPDF();
    m_pdf->setSuppressWarnings(true);
}

PdfMerge::~PdfMerge() = default;

bool PdfMerge::add(const QString& path, const QString& range, const QString& password, fileio::Failure& failure) {
    OpenOptions options{.closedBetweenReads = true, .readSources = &m_read};
    const QFileInfo info(path);
    if (info.isFile() && info.size() <= kWholeFileLimit && m_contentBytes + info.size() <= kContentBudget) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            m_contents.push_back(std::make_unique<QByteArray>(file.readAll()));
            m_contentBytes += m_contents.back()->size();
            options.contents = m_contents.back().get();
        }
    }
    std::unique_ptr<QPDF> source = openPdf(path, password, failure, options);
    if (!source) {
        if (options.contents) {
            m_contentBytes -= m_contents.back()->size();
            m_contents.pop_back();
        }
        return false;
    }
    const int added = appendPages(*m_pdf, *source, path, range, failure);
    if (added < 0) return false;
    if (added == 0) return failure.set(kInvalidFormat, QStringLiteral("%1 has no page").arg(path));
    m_pages += added;
    m_version = std::max(m_version, pdfVersionNumber(source->getPDFVersion()));
    m_sources.push_back(std::move(source));
    return true;
}

bool PdfMerge::write(const QString& target, fileio::Failure& failure) {
    if (m_pages == 0) return failure.set(kBadArgument, QStringLiteral("%1: no pages to write").arg(target));
    const std::string version = std::to_string(m_version / 10) + "." + std::to_string(m_version % 10);
    return writePdf(
        *m_pdf, target, failure, [&](QPDFWriter& w) { w.setMinimumPDFVersion(version); }, nullptr, &m_read);
}

} // namespace pdfpages
