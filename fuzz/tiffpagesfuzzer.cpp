// The page operations' TIFF reader: every page copied as stored into a new file.

#include "fuzz/fuzzinput.h"
#include "platform/tiffpages/tiffpages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::writeInput(data, size);
    fileio::Failure failure;
    tiffpages::mergeTiffs({path}, fuzz::outputPath(QStringLiteral("pages.tif")), failure);
    return 0;
}
