#pragma once

// Page ranges as callers write them: "0" or "" for every page, otherwise items separated
// by ",": "N", "N-M" (N > M runs downward) and "N-" (to the last page), with blanks
// around the numbers and signs. Pages are numbered from 1; items may repeat pages.

#include "platform/fileio/outputset.h"

#include <QStringView>
#include <vector>

namespace pdfpages {

struct RangeItem {
    int first = 1;
    int last = 1; // inclusive; below `first` when the item runs downward

    int count() const { return (last >= first ? last - first : first - last) + 1; }
    int page(int i) const { return last >= first ? first + i : first - i; }
};

// Error numbers: 13 for a text that is not a range, 9 for a page outside 1..pageCount.
constexpr int kRangeSyntaxError = 13;
constexpr int kRangeBeyondError = 9;

// True for "" and "0" (blanks aside): the whole document.
bool isWholeRange(QStringView text);

// The items of `text` for a document of `pageCount` pages; the whole-document forms give
// one item 1..pageCount (none for an empty document).
bool parsePageRange(QStringView text, int pageCount, std::vector<RangeItem>& items, fileio::Failure& failure);

// The pages of all items in order.
std::vector<int> rangePages(const std::vector<RangeItem>& items);

} // namespace pdfpages
