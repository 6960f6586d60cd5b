// The page operations' PDF readers: the page count and the information dictionary.

#include "fuzz/fuzzinput.h"
#include "platform/pdfpages/pdfinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::writeInput(data, size);
    fileio::Failure counting, reading;
    pdfpages::pdfPageCount(path, QString(), counting);
    QString text;
    pdfpages::readPdfInfo(path, QString(), text, reading);
    return 0;
}
