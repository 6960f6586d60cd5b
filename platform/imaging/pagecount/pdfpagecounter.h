#pragma once

#include "platform/imaging/pagecount/pagecounter.h"

#include <memory>

// Counts the pages of a PDF file from its page tree: the root's /Count, checked against
// the tree it stands for. -1 on any failure: not a PDF, encrypted, a tree that is
// missing, loops or does not add up.
class PdfFilePageCounter : public PageCounter {
public:
    int CountPages(const QString& path) override;
};

// The counter Main installs as PdfPageCounter.
std::unique_ptr<PageCounter> makePdfPageCounter();
