#include "core/pagecounter.h"

#include "core/pdfpagecounter.h"
#include "core/tiffpagecounter.h"

std::unique_ptr<PageCounter> makePdfPageCounter() { return std::make_unique<PdfFilePageCounter>(); }

std::unique_ptr<PageCounter> makeTiffPageCounter() { return std::make_unique<TiffFilePageCounter>(); }
