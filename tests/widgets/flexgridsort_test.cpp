#include "core/flexsort.h"
#include "gui/widgets/flexgrid.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

enum { cText, cNum, cDate, cSel, kCols };

struct SortGrid {
    FlexGrid g;
    SortGrid() {
        g.resize(600, 300);
        g.setCols(kCols);
        g.setColDataType(cText, flexDTString);
        g.setColDataType(cNum, flexDTDecimal);
        g.setColDataType(cDate, flexDTDate);
        g.setColDataType(cSel, flexDTBoolean);
        g.setColFormat(cDate, "dd/mm/yyyy hh:mm ampm");
    }
    void fill(int col, const QStringList& texts) {
        g.setRows(1);
        for (int i = 0; i < texts.size(); ++i) {
            QStringList cells(kCols);
            cells[col] = texts[i];
            cells[(col + 1) % 3] = QString::number(i); // original position, to see stability
            g.AddItem(cells);
        }
    }
    QStringList column(int col) const {
        QStringList out;
        for (int r = 1; r < g.Rows(); ++r)
            out << g.TextMatrix(r, col);
        return out;
    }
    void clickHeader(int col) {
        QHeaderView* h = g.view()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(col) + 5, 5));
    }
};

} // namespace

TEST(FlexGridSort, TheGridsOwnRulesPerSortCodeAndDataType) {
    struct Case {
        const char* what;
        int col;
        int order;
        QStringList in;
        QStringList out;
    };
    const QString pm = "05/03/2024 02:07 PM", am = "05/03/2024 09:00 AM", y23 = "31/12/2023 11:59 PM";
    const Case cases[] = {
        {"text ignores case", cText, flexSortGenericAscending, {"b", "A", "c", "a"}, {"A", "a", "b", "c"}},
        {"text descending keeps ties in order",
         cText,
         flexSortGenericDescending,
         {"b", "A", "c", "a"},
         {"c", "b", "A", "a"}},
        {"decimal columns compare numbers",
         cNum,
         flexSortGenericAscending,
         {"10", "9", "1,024 KB", "Error", ""},
         {"", "Error", "9", "10", "1,024 KB"}},
        {"numeric code on text: no number sorts lowest",
         cText,
         flexSortNumericAscending,
         {"10", "x", "2", ""},
         {"", "x", "2", "10"}},
        {"numeric descending", cText, flexSortNumericDescending, {"10", "x", "2"}, {"10", "2", "x"}},
        {"dates as dates", cDate, flexSortGenericAscending, {pm, y23, am}, {y23, am, pm}},
        {"dates descending, non-dates last", cDate, flexSortGenericDescending, {"", pm, y23}, {pm, y23, ""}},
    };
    for (const Case& c : cases) {
        SortGrid t;
        t.fill(c.col, c.in);
        t.g.SortBy(c.col, c.order);
        EXPECT_EQ(t.column(c.col), c.out) << c.what;
    }
}

TEST(FlexGridSort, ASortKeepsEachRowTogether) {
    SortGrid t;
    t.fill(cText, {"b", "a", "c"});
    t.g.setCellChecked(1, cSel, flexChecked); // "b"
    t.g.SortBy(cText, flexSortGenericAscending);
    EXPECT_EQ(t.column(cText), QStringList({"a", "b", "c"}));
    EXPECT_EQ(t.column(cNum), QStringList({"1", "0", "2"}));
    EXPECT_EQ(t.column(cSel), QStringList({"0", "1", "0"}));
}

TEST(FlexGridSort, HeaderClicksAskAscendingThenDescendingThroughBeforeSort) {
    SortGrid t;
    t.g.show();
    t.g.setUserSort(true);
    t.fill(cText, {"file10", "file2", "File1"});
    QList<std::pair<int, int>> asked;
    QObject::connect(&t.g, &FlexGrid::BeforeSort, &t.g, [&](int col, int& order) {
        asked.append({col, order});
        if (order == flexSortGenericAscending || order == flexSortGenericDescending)
            order += 2; // this handler wants the numeric codes, keeping the direction
    });
    QList<std::pair<int, int>> compared;
    t.g.setCompareHook([&](int col, int order) -> FlexGrid::Comparator {
        compared.append({col, order});
        return flexsort::naturalCompare;
    });
    QSignalSpy sorted(&t.g, &FlexGrid::AfterSort);

    t.clickHeader(cText);
    EXPECT_EQ(t.column(cText), QStringList({"File1", "file2", "file10"}));
    t.clickHeader(cText);
    EXPECT_EQ(t.column(cText), QStringList({"file10", "file2", "File1"}));
    t.clickHeader(cText);
    const QList<std::pair<int, int>> expectAsked{{cText, 1}, {cText, 2}, {cText, 1}};
    const QList<std::pair<int, int>> expectCompared{{cText, 3}, {cText, 4}, {cText, 3}};
    EXPECT_EQ(asked, expectAsked);
    EXPECT_EQ(compared, expectCompared);
    EXPECT_EQ(sorted.count(), 3);
    EXPECT_EQ(t.g.Col(), cText); // the sorted column becomes current
}

TEST(FlexGridSort, BeforeSortCanCancelAndSortFromCodeRaisesNoBeforeSort) {
    SortGrid t;
    t.g.show();
    t.g.setUserSort(true);
    t.fill(cNum, {"3", "1", "2"});
    int asked = 0;
    QObject::connect(&t.g, &FlexGrid::BeforeSort, &t.g, [&](int, int& order) {
        ++asked;
        order = flexSortNone;
    });
    t.clickHeader(cNum);
    EXPECT_EQ(t.column(cNum), QStringList({"3", "1", "2"}));

    t.g.setUserSort(false);
    t.clickHeader(cNum); // header sorting off: nothing asked
    EXPECT_EQ(asked, 1);

    t.g.setCol(cNum);
    t.g.setSort(flexSortNumericDescending);
    EXPECT_EQ(t.column(cNum), QStringList({"3", "2", "1"}));
    t.g.setSort(7); // not a sort code
    EXPECT_EQ(t.column(cNum), QStringList({"3", "2", "1"}));
    EXPECT_EQ(asked, 1);
}

TEST(FlexGridSort, TheHookMayLeaveColumnsToTheDefaultRules) {
    SortGrid t;
    t.fill(cNum, {"10", "9", "Error"});
    t.g.setCompareHook([](int col, int) {
        return col == cText ? FlexGrid::Comparator(flexsort::naturalCompare) : FlexGrid::Comparator();
    });
    t.g.SortBy(cNum, flexSortGenericAscending);
    EXPECT_EQ(t.column(cNum), QStringList({"Error", "9", "10"}));
    const FlexGrid::Comparator dates = t.g.DefaultComparator(cDate, flexSortGenericAscending);
    EXPECT_LT(dates("31/12/2023 11:59 PM", "01/01/2024 12:00 AM"), 0);
}
