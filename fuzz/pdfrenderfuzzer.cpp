// The PDF-to-image conversion: a few pages of any PDF rendered at a low resolution (the
// page size, not the resolution, is what the file controls) and written as PNG.

#include "fuzz/fuzzinput.h"
#include "platform/pdfrender/pdftoimage.h"

#include <QFileInfo>
#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::writeInput(data, size);
    const int handle = pdfrender::apOpen(path);
    if (handle <= 0) return 0;
    pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, QFileInfo(path).path(), 0);
    pdfrender::apSetProperty(handle, pdfrender::kDpi, QString(), 10);
    pdfrender::apSetProperty(handle, pdfrender::kImageType, QString(), pdfrender::kPng);
    const int pages = std::min(pdfrender::apPageCount(handle), 3);
    for (int page = 1; page <= pages; ++page)
        pdfrender::apConvertPage(handle, page);
    pdfrender::apDiscard(handle);
    return 0;
}
