#include "platform/pdfpages/pagerange.h"

#include <gtest/gtest.h>

using pdfpages::parsePageRange;
using pdfpages::rangePages;

namespace {

struct RangeCase {
    const char* text;
    int pageCount;
    std::vector<int> pages; // expected pages in order, when valid
    int error;              // 0 valid, 13 syntax, 9 page outside the document
};

class PageRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(PageRange, ParsesOrRejects) {
    const RangeCase& c = GetParam();
    std::vector<pdfpages::RangeItem> items;
    fileio::Failure failure;
    const bool ok = parsePageRange(QString::fromUtf8(c.text), c.pageCount, items, failure);
    EXPECT_EQ(ok, c.error == 0) << c.text;
    EXPECT_EQ(failure.number, c.error) << c.text;
    if (ok) EXPECT_EQ(rangePages(items), c.pages) << c.text;
    else EXPECT_TRUE(items.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, PageRange,
    ::testing::Values(
        // The whole document.
        RangeCase{"", 3, {1, 2, 3}, 0}, RangeCase{"0", 3, {1, 2, 3}, 0}, RangeCase{" 0 ", 2, {1, 2}, 0},
        RangeCase{"0", 0, {}, 0},
        // Items, blanks, repeats, downward runs, open ends.
        RangeCase{"2", 5, {2}, 0}, RangeCase{"1-3", 5, {1, 2, 3}, 0}, RangeCase{"4-2", 5, {4, 3, 2}, 0},
        RangeCase{"3-", 5, {3, 4, 5}, 0}, RangeCase{" 1 - 2 , 5 ", 5, {1, 2, 5}, 0},
        RangeCase{"2,2,1-2", 3, {2, 2, 1, 2}, 0}, RangeCase{"5-,1", 5, {5, 1}, 0}, RangeCase{"3-3", 3, {3}, 0},
        // Pages outside the document.
        RangeCase{"6", 5, {}, 9}, RangeCase{"1-6", 5, {}, 9}, RangeCase{"6-", 5, {}, 9},
        RangeCase{"1,0", 5, {}, 9}, RangeCase{"0-2", 5, {}, 9}, RangeCase{"99999999999999999999", 5, {}, 9},
        RangeCase{"1", 0, {}, 9},
        // Not a range at all: a syntax error whatever the numbers.
        RangeCase{"a", 5, {}, 13}, RangeCase{"1,", 5, {}, 13}, RangeCase{",1", 5, {}, 13},
        RangeCase{"1,,2", 5, {}, 13}, RangeCase{"1 2", 5, {}, 13}, RangeCase{"-3", 5, {}, 13},
        RangeCase{"1-2-3", 5, {}, 13}, RangeCase{"1;2", 5, {}, 13}, RangeCase{"99,x", 5, {}, 13},
        RangeCase{"3-,", 5, {}, 13}, RangeCase{"+1", 5, {}, 13}));

} // namespace
