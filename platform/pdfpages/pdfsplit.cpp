#include "platform/pdfpages/pdfsplit.h"

#include "platform/pdfpages/pagerange.h"
#include "platform/pdfpages/pdffile.h"

#include <QFile>
#include <QFileInfo>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>

namespace pdfpages {

namespace {

constexpr qint64 kWholeFileLimit = qint64(256) << 20;

// Whether pages share one resource dictionary (typically inherited from the page tree), so
// that copying a page would drag every other page's fonts and images along.
bool resourcesShared(const std::vector<QPDFObjectHandle>& pages) {
    std::set<QPDFObjGen> seen;
    const auto shared = [&](QPDFObjectHandle object) {
        return object.isIndirect() && !seen.insert(object.getObjGen()).second;
    };
    std::set<std::vector<QPDFObjGen>> xobjectSets;
    for (QPDFObjectHandle page : pages) {
        QPDFObjectHandle resources = page.getKey("/Resources");
        if (!resources.isDictionary()) continue;
        if (shared(resources)) return true;
        for (const char* key : {"/Font", "/XObject"}) {
            QPDFObjectHandle dict = resources.getKey(key);
            if (!dict.isDictionary()) continue;
            if (shared(dict)) return true;
            if (std::string(key) == "/XObject" && !dict.isIndirect()) {
                // Copies of one inherited dictionary: the same images listed on every page.
                std::vector<QPDFObjGen> members;
                for (const auto& [name, value] : dict.ditems())
                    if (value.isIndirect()) members.push_back(value.getObjGen());
                if (!members.empty() && !xobjectSets.insert(members).second) return true;
            }
        }
    }
    return false;
}

int versionOf(QPDF& pdf) {
    const std::string v = pdf.getPDFVersion();
    const auto dot = v.find('.');
    return dot == std::string::npos ? 14 : std::atoi(v.c_str()) * 10 + std::atoi(v.c_str() + dot + 1);
}

} // namespace

bool splitPdf(const QString& source, const QString& range, const QString& prefix, const QString& password,
              fileio::Failure& failure, QStringList* written) {
    if (prefix.isEmpty()) return failure.set(kBadArgument, QStringLiteral("no output name for %1").arg(source));
    // Read whole when it fits: the outputs read the source again and again.
    QByteArray contents;
    ReadSources read;
    OpenOptions options{.readSources = &read};
    const QFileInfo info(source);
    if (info.isFile() && info.size() <= kWholeFileLimit) {
        QFile file(source);
        if (file.open(QIODevice::ReadOnly)) {
            contents = file.readAll();
            options.contents = &contents;
        }
    }
    std::unique_ptr<QPDF> pdf = openPdf(source, password, failure, options);
    if (!pdf) return false;
    fileio::OutputSet outputs;
    try {
        pdf->pushInheritedAttributesToPage();
        const std::vector<QPDFObjectHandle> pages = pdf->getAllPages();
        if (pages.empty()) return failure.set(kInvalidFormat, QStringLiteral("%1 has no page").arg(source));

        // Each output is one list of pages: every page alone, or every range item.
        std::vector<std::vector<int>> parts;
        if (isWholeRange(range)) {
            for (int p = 1; p <= int(pages.size()); ++p)
                parts.push_back({p});
        } else {
            std::vector<RangeItem> items;
            if (!parsePageRange(range, int(pages.size()), items, failure)) {
                failure.text = QStringLiteral("%1: %2").arg(source, failure.text);
                return false;
            }
            for (const RangeItem& item : items)
                parts.push_back(rangePages({item}));
        }

        if (resourcesShared(pages)) QPDFPageDocumentHelper(*pdf).removeUnreferencedResources();
        const int version = versionOf(*pdf);
        const std::string minimum = std::to_string(version / 10) + "." + std::to_string(version % 10);
        const int count = int(parts.size());
        const auto targetOf = [&](int i) {
            const int number = isWholeRange(range) ? parts[size_t(i)].front() : i + 1;
            return prefix + fileio::paddedNumber(number, count) + QStringLiteral(".pdf");
        };
        // Every part waits out of place until the last is written, so a part named like the
        // source cannot replace it before the others have been read from it.
        for (int i = 0; i < count; ++i) {
            QPDF part;
            part.emptyPDF();
            part.setSuppressWarnings(true);
            for (int page : parts[size_t(i)])
                part.addPage(pages[size_t(page - 1)], false);
            if (!writePdf(
                    part, targetOf(i), failure, [&](QPDFWriter& w) { w.setMinimumPDFVersion(minimum); }, &outputs,
                    &read))
                return false;
        }
    } catch (const std::exception& e) {
        return failFromException(e, source, failure);
    }
    if (!outputs.commit(failure)) return false;
    if (written) *written = outputs.paths();
    return true;
}

} // namespace pdfpages
