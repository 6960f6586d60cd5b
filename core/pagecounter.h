#pragma once

#include <QString>
#include <memory>

// Answers the page count of one file. Counters never throw and never hang on a damaged
// file; a failure is a count below 0 (TIFF) or of 0 or below (PDF), which the grids show
// as "Error".
class PageCounter {
public:
    virtual ~PageCounter() = default;
    virtual int CountPages(const QString& path) = 0;
};

// The two counters Main creates for PdfPageCounter and TiffPageCounter.
std::unique_ptr<PageCounter> makePdfPageCounter();
std::unique_ptr<PageCounter> makeTiffPageCounter();
