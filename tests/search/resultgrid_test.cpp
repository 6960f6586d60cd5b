#include "search/resultgridsort.h"
#include "search/resultgridstatus.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

using namespace resultgrid;

namespace {

QStringList sorted(QStringList items, int dataType, int order) {
    std::stable_sort(items.begin(), items.end(), [&](const QString& a, const QString& b) {
        const int c = CompareCells(a, b, dataType, order);
        return IsDescending(order) ? c > 0 : c < 0;
    });
    return items;
}

struct Checked {
    bool checked;
    const char* name;
    const char* pages;
};

QString summaryOf(const std::vector<Checked>& rows) {
    return SelectedFileSummary(int(rows.size()) + 1, [&](int r) {
        const Checked& c = rows[size_t(r - 1)];
        return SummaryRow{c.checked, QString::fromUtf8(c.name), QString::fromUtf8(c.pages)};
    });
}

} // namespace

TEST(ResultGridSort, HeaderSortKeepsTheRequestedDirection) {
    struct Case {
        const char* key;
        bool numeric;
        int asked;
        int used;
    };
    const Case cases[] = {
        {"Name", true, 1, 3},          {"Name", true, 2, 4},     {"Name", true, 3, 3},
        {"Name", true, 4, 4},          {"Name", false, 1, 1},    {"Name", false, 2, 2},
        {"Name", false, 3, 1},         {"Name", false, 4, 2},    {"Pages", false, 1, 3},
        {"Pages", true, 2, 4},         {"Pages", false, 4, 4},   {"Size (In KB)", false, 1, 3},
        {"Size (In KB)", false, 2, 4}, {"Location", true, 2, 2}, {"Created Date", false, 3, 3},
        {"Type", false, 1, 1},         {"name", true, 1, 1}, // keys are exact
    };
    for (const Case& c : cases)
        EXPECT_EQ(BeforeSortOrder(c.key, c.asked, c.numeric), c.used)
            << c.key << " numeric=" << c.numeric << " asked=" << c.asked;
}

TEST(ResultGridSort, NamesSortNaturallyOrIgnoringCase) {
    const QStringList names{"file10.tif", "File2.tif", "file1.tif", "file02.tif", "a.jpg", "B.jpg"};
    EXPECT_EQ(sorted(names, TypeText, NumericAscending),
              (QStringList{"a.jpg", "B.jpg", "file1.tif", "File2.tif", "file02.tif", "file10.tif"}));
    EXPECT_EQ(sorted(names, TypeText, GenericAscending),
              (QStringList{"a.jpg", "B.jpg", "file02.tif", "file1.tif", "file10.tif", "File2.tif"}));
    EXPECT_EQ(sorted(names, TypeText, NumericDescending).first(), "file10.tif");
    // Names equal apart from letter case keep the order they were found in.
    EXPECT_EQ(sorted({"scan7.tif", "Scan7.tif", "SCAN7.tif"}, TypeText, NumericAscending),
              (QStringList{"scan7.tif", "Scan7.tif", "SCAN7.tif"}));
}

TEST(ResultGridSort, DecimalAndDateColumnsCompareByValue) {
    EXPECT_EQ(sorted({"1,234 KB", "99 KB", "0 KB", "12,000 KB"}, TypeDecimal, NumericAscending),
              (QStringList{"0 KB", "99 KB", "1,234 KB", "12,000 KB"}));
    EXPECT_EQ(sorted({"12", "Error", "", "3", "0"}, TypeDecimal, NumericAscending),
              (QStringList{"", "Error", "0", "3", "12"}));
    EXPECT_EQ(sorted({"12", "Error", "3"}, TypeDecimal, NumericDescending),
              (QStringList{"12", "3", "Error"}));
    EXPECT_EQ(sorted({"2.5", "-1", "1,000.25", "x1"}, TypeDecimal, NumericAscending),
              (QStringList{"x1", "-1", "2.5", "1,000.25"}));
    // Midnight and noon hours of the twelve-hour clock.
    EXPECT_EQ(
        sorted({"01/01/2024 12:00 PM", "01/01/2024 01:00 AM", "01/01/2024 12:30 AM", "01/01/2024 11:59 AM"},
               TypeDate, GenericAscending),
        (QStringList{"01/01/2024 12:30 AM", "01/01/2024 01:00 AM", "01/01/2024 11:59 AM",
                     "01/01/2024 12:00 PM"}));
    // A generic sort of a decimal column is by number too, not by text.
    EXPECT_EQ(sorted({"10", "9", "100"}, TypeDecimal, GenericAscending), (QStringList{"9", "10", "100"}));
    EXPECT_EQ(sorted({"02/01/2024 09:00 PM", "", "01/02/2023 11:59 AM", "02/01/2024 09:00 AM"}, TypeDate,
                     GenericAscending),
              (QStringList{"", "01/02/2023 11:59 AM", "02/01/2024 09:00 AM", "02/01/2024 09:00 PM"}));
}

TEST(ResultGridStatus, SummaryCountsCheckedRowsAndNonPdfPages) {
    const QString text = QStringLiteral(" file selected; Total Page count of selected Tiff files: ");
    EXPECT_EQ(summaryOf({}), "0" + text + "0");
    EXPECT_EQ(summaryOf({{false, "a.tif", "12"}}), "0" + text + "0");
    EXPECT_EQ(summaryOf({{true, "a.tif", "12"}, {true, "b.PDF", "30"}, {true, "c.jpg", ""}}),
              "3" + text + "12");
    EXPECT_EQ(summaryOf({{true, "bad.tif", "Error"}, {true, "noext", "4"}, {false, "x.tif", "100"}}),
              "2" + text + "4");
    // Only the last dot counts: "x.pdf.tif" is a TIFF, "scan.tif.pdf" a PDF.
    EXPECT_EQ(summaryOf({{true, "x.pdf.tif", "2"}, {true, "scan.tif.pdf", "5"}}), "2" + text + "2");
}
