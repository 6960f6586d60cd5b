#pragma once

// Image files written a row at a time as the page's bands come: nothing holds a whole page,
// neither its pixels nor its encoded bytes. Each writes into an open atomic writer that the
// caller puts in place; false leaves `failure` set (the writer's own error for a full disk).

#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/outputset.h"

namespace pdfrender {

class BandedPage;

// PNG through libpng: RGB, grey or 1-bit grey as the page's depth, resolution in pHYs.
bool writePngRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure);

// Baseline JPEG of quality 75 through libjpeg: RGB (4:2:0) or grey (a 1-bit page as 0 and 255).
bool writeJpegRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure);

// Uncompressed BMP, bottom-up as readers expect: 24-bit, or 8- and 1-bit with a grey palette.
// Rows are placed from the end of the file back through the writer's descriptor.
bool writeBmpRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure);

// Binary PPM (P6) whatever the depth.
bool writePpmRows(BandedPage& page, fileio::AtomicWriter& file, fileio::Failure& failure);

} // namespace pdfrender
