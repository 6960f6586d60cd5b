#pragma once

#include "platform/imaging/pagecount/pagecounter.h"

#include <memory>

// Counts the pages of a TIFF file by walking its directory chain; -1 on any failure
// (not a TIFF, a directory that cannot be read, a chain that loops). A file whose header
// names no directory has 0 pages.
class TiffFilePageCounter : public PageCounter {
public:
    int CountPages(const QString& path) override;
};

// The counter Main installs as TiffPageCounter.
std::unique_ptr<PageCounter> makeTiffPageCounter();
