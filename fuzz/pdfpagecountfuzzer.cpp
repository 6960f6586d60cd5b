// The PDF page counter: the page tree of any file.

#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PdfFilePageCounter counter;
    counter.CountPages(fuzz::writeInput(data, size));
    return 0;
}
