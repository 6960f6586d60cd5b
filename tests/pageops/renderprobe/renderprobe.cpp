// pageops_renderprobe PDF FOLDER DPI TYPE
// Page 1 of PDF rendered and written into FOLDER (as p1.<ext>) as the conversion does it, in a process of
// its own so that its peak memory can be read: prints "converted RC peak KB before KB", the
// answer of apConvertPage and the peak resident size after and before it, from getrusage.
#include "platform/pdfrender/pdftoimage.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

long peakKb() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return self.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: pageops_renderprobe PDF FOLDER DPI TYPE\n");
        return 2;
    }
    const int handle = pdfrender::apOpen(QString::fromLocal8Bit(argv[1]));
    if (handle < 1) return 2;
    pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, QString::fromLocal8Bit(argv[2]), 0);
    pdfrender::apSetProperty(handle, pdfrender::kPrefix, QStringLiteral("p"), 0);
    pdfrender::apSetProperty(handle, pdfrender::kDpi, QString(), std::atoi(argv[3]));
    pdfrender::apSetProperty(handle, pdfrender::kImageType, QString(), std::atoi(argv[4]));
    const long before = peakKb();
    const int converted = pdfrender::apConvertPage(handle, 1);
    if (converted == 0 && pdfrender::apClose(handle) != 0) return 3;
    if (converted != 0) {
        std::fprintf(stderr, "%s\n", qPrintable(pdfrender::apLastFailure().text));
        pdfrender::apDiscard(handle);
    }
    std::printf("converted %d peak %ld before %ld\n", converted, peakKb(), before);
    return 0;
}
