#include "platform/imaging/pagecount/pdfpagecounter.h"

#include "platform/pdfpages/pdfinfo.h"

int PdfFilePageCounter::CountPages(const QString& path) {
    try {
        fileio::Failure failure;
        // A file that needs a password fails; one protected by an owner password only opens
        // with the empty one: it is counted, and merged, like any other.
        const int count = pdfpages::pdfPageCount(path, QString(), failure);
        return count < 0 ? -1 : count;
    } catch (...) {
        return -1;
    }
}

std::unique_ptr<PageCounter> makePdfPageCounter() {
    return std::make_unique<PdfFilePageCounter>();
}
