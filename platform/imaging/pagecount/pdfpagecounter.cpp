#include "platform/imaging/pagecount/pdfpagecounter.h"

#include "platform/imaging/formats/raster.h"
#include "platform/imaging/formats/sourcefile.h"

#include <QFile>
#include <QFileInfo>

// Use QPDF's current smart-pointer API only.
#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <limits>
#include <set>

namespace {

constexpr int kMaxDepth = 256;
constexpr qint64 kInMemoryLimit = 4 * 1024 * 1024;

// The number of pages below `node`, or -1 when the tree there is damaged. Reads the
// tree's dictionaries only, never a page's contents.
qint64 pagesBelow(QPDFObjectHandle node, std::set<QPDFObjGen>& seen, int depth) {
    if (depth > kMaxDepth || !node.isDictionary())
        return -1;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second)
        return -1; // a node reached twice: the tree loops or shares a branch
    QPDFObjectHandle type = node.getKey("/Type");
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray()) {
        // A page: a leaf without kids.
        if (!type.isNull() && !(type.isName() && type.getName() == "/Page"))
            return -1;
        return 1;
    }
    if (!type.isNull() && !(type.isName() && type.getName() == "/Pages"))
        return -1;
    QPDFObjectHandle count = node.getKey("/Count");
    if (!count.isInteger())
        return -1;
    qint64 sum = 0;
    const int n = kids.getArrayNItems();
    for (int i = 0; i < n; ++i) {
        const qint64 below = pagesBelow(kids.getArrayItem(i), seen, depth + 1);
        if (below < 0)
            return -1;
        sum += below;
        if (sum > std::numeric_limits<int>::max())
            return -1;
    }
    return sum == count.getIntValue() ? sum : -1;
}

} // namespace

int PdfFilePageCounter::CountPages(const QString& path) {
    try {
        // Only regular files: opening a pipe or a device would wait for ever.
        const QFileInfo info(path);
        if (!info.isFile())
            return -1;
        // Declared before the QPDF object: it reads from this buffer without copying it,
        // so the buffer must outlive it.
        QByteArray bytes;
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        const QByteArray name = QFile::encodeName(path);
        if (info.size() <= kInMemoryLimit) {
            // Small files are read in one go: QPDF's many seeks and short reads on a file
            // cost more than the whole read does.
            QString error;
            if (imaging::readWholeFile(path, bytes, error) != imaging::ApOk)
                return -1;
            pdf.processMemoryFile(name.constData(), bytes.constData(), static_cast<size_t>(bytes.size()));
        } else {
            pdf.processFile(name.constData());
        }
        // A file that needs a password never gets this far. One protected by an owner
        // password only opens with the empty one: it is counted, and merged, like any other.
        QPDFObjectHandle root = pdf.getRoot();
        if (!root.isDictionary())
            return -1;
        QPDFObjectHandle pages = root.getKey("/Pages");
        if (!pages.isDictionary() || !pages.getKey("/Kids").isArray())
            return -1;
        std::set<QPDFObjGen> seen;
        const qint64 count = pagesBelow(pages, seen, 0);
        return count < 0 ? -1 : static_cast<int>(count);
    } catch (...) {
        return -1;
    }
}

std::unique_ptr<PageCounter> makePdfPageCounter() {
    return std::make_unique<PdfFilePageCounter>();
}
