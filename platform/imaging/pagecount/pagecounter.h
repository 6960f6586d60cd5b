#pragma once

#include <QString>

// Answers the page count of one file. Counters never throw and never hang on a damaged
// file; a failure is a count below 0 (TIFF) or of 0 or below (PDF), which the grids show
// as "Error". The real counters are beside it (makeTiffPageCounter, makePdfPageCounter);
// Main installs them as PdfPageCounter and TiffPageCounter. The interface alone is a header,
// so the search counts through it without linking this library.
class PageCounter {
public:
    virtual ~PageCounter() = default;
    virtual int CountPages(const QString& path) = 0;
};
