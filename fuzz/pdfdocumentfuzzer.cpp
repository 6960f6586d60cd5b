// The image library's PDF reader: a PDF added to a document (its pages copied into ours),
// then the document written.

#include "fuzz/fuzzinput.h"
#include "platform/imaging/imagetopdf.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = fuzz::writeInput(data, size);
    const int handle = imaging::ApCreate(fuzz::outputPath(QStringLiteral("document.pdf")));
    if (handle <= 0) std::abort();
    if (imaging::ApAddImage(handle, input) > 0)
        imaging::ApClose(handle);
    else
        imaging::ApDiscard(handle);
    return 0;
}
