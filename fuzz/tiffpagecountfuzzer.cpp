// The TIFF page counter: the directory chain walk of any file.

#include "platform/imaging/pagecount/tiffpagecounter.h"
#include "fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TiffFilePageCounter counter;
    counter.CountPages(fuzz::writeInput(data, size));
    return 0;
}
