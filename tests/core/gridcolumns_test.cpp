#include "core/clscolsetordergrid.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "tests/support/testdir.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

const QStringList kDefaultOrder = {"Name",         "Selection", "Pages",        "Location",
                                   "Size (In KB)", "Type",      "Created Date", "Modified Date"};
const QString kDefaultWidths = "1800,250,700,1800,1000,1400,2000,2000";

GridColumns defaultColumns() {
    GridColumns c;
    modMasterLayout::AddDefaultGridColumns(c);
    return c;
}

QStringList keysInListOrder(const GridColumns& c) {
    QStringList keys;
    for (const GridColumns::ColumnPtr& column : c)
        keys << column->ColumnKey;
    return keys;
}

} // namespace

TEST(GridColumnList, AddItemRemoveAndWalkWithOneBasedPositionsAndCaselessKeys) {
    ScopedStorage storage;
    GridColumns c;
    EXPECT_EQ(c.Count(), 0);
    ASSERT_TRUE(c.add("B", 10, 0, "B", GridColumn::Text, "B"));
    ASSERT_TRUE(c.add("D", 10, 0, "D", GridColumn::Text, "D"));
    ASSERT_TRUE(c.add("A", 10, 0, "A", GridColumn::Text, "A", GridColumns::IndexKey(1)));
    ASSERT_TRUE(c.add("C", 10, 0, "C", GridColumn::Text, "C", std::nullopt, GridColumns::IndexKey(QString("b"))));
    ASSERT_TRUE(c.add("E", 10, 0, "E", GridColumn::Text)); // unkeyed, at the end
    EXPECT_EQ(keysInListOrder(c), QStringList({"A", "B", "C", "D", "E"}));
    EXPECT_EQ(c.Item(3)->ColumnKey, "C");
    EXPECT_EQ(c.Item("d")->ColumnKey, "D");
    EXPECT_EQ(c.Item(0), nullptr);
    EXPECT_EQ(c.Item(6), nullptr);
    EXPECT_EQ(c.Item("E"), nullptr); // filed without a key

    const GridColumns::ColumnPtr held = c.Item("A");
    c.Remove("a");
    c.Remove(QString("nope"));
    c.Remove(9);
    c.Remove(4);
    EXPECT_EQ(keysInListOrder(c), QStringList({"B", "C", "D"}));
    EXPECT_EQ(held->ColumnKey, "A"); // still usable after leaving the list
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST(GridColumnList, DuplicateKeyOrMissingNeighbourIsLoggedAndChangesNothing) {
    ScopedStorage storage;
    GridColumns c = defaultColumns();
    EXPECT_EQ(c.add("Other", 1, 9, "Other", GridColumn::Text, "NAME"), nullptr);
    EXPECT_EQ(c.add("Other", 1, 9, "Other", GridColumn::Text, "Other", GridColumns::IndexKey(QString("x"))),
              nullptr);
    EXPECT_EQ(c.Count(), 8);
    EXPECT_EQ(c.Item("Name")->ColumnWidth, 1800);
    const QStringList lines = storage.errorLog().split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Error 457 (This key is already associated with an element of this "
                                    "collection) in procedure Add at Line No. "));
    EXPECT_TRUE(lines[0].contains(" of Class Module GridColumns at time- "));
}

TEST(GridColumnList, IndexByKeyComparesExactlyWhileItemIgnoresCase) {
    GridColumns c = defaultColumns();
    EXPECT_EQ(modGeneral::GetColumnIndexByKey(c, "Modified Date"), 7);
    EXPECT_EQ(modGeneral::GetColumnIndexByKey(c, "Pages"), 2);
    EXPECT_EQ(modGeneral::GetColumnIndexByKey(c, "pages"), 0);
    EXPECT_EQ(modGeneral::GetColumnIndexByKey(c, "Nothing"), 0);
    ASSERT_TRUE(c.Item("name"));
    EXPECT_EQ(c.Item("name")->ColumnKey, "Name");
    EXPECT_EQ(c.Item("Selection")->ColumnDatatype, GridColumn::Boolean);
    EXPECT_EQ(c.Item("Size (In KB)")->ColumnDatatype, GridColumn::Decimal);
    EXPECT_EQ(c.Item("Created Date")->ColumnDatatype, GridColumn::Date);
}

TEST(LoadGridColumns, DefaultOrderChangesNothingNotEvenAWidth) {
    GridColumns c = defaultColumns();
    QStringList arr;
    modGeneral::LoadGridColumns(c, kDefaultOrder.join(','), "1,2,3,4,5,6,7,8", arr);
    EXPECT_EQ(keysInListOrder(c), kDefaultOrder);
    EXPECT_EQ(c.Item("Created Date")->ColumnWidth, 1400);
    EXPECT_EQ(arr, kDefaultOrder);
}

TEST(LoadGridColumns, SwappingTheFirstTwoMovesOnlyThem) {
    GridColumns c = defaultColumns();
    QStringList order = kDefaultOrder;
    order.swapItemsAt(0, 1);
    QStringList arr;
    modGeneral::LoadGridColumns(c, order.join(','), kDefaultWidths, arr);
    EXPECT_EQ(keysInListOrder(c), order);
    EXPECT_EQ(c.Item(1)->ColumnIndex, 0);
    EXPECT_EQ(c.Item(1)->ColumnWidth, 250);
    EXPECT_EQ(c.Item(2)->ColumnIndex, 1);
    EXPECT_EQ(c.Item(2)->ColumnWidth, 250); // the second width element
    EXPECT_EQ(c.Item("Pages")->ColumnWidth, 700);
    EXPECT_EQ(c.Item("Modified Date")->ColumnWidth, 1400);
}

TEST(LoadGridColumns, EveryOrderOfTheEightEndsInDisplayOrderWithItsWidths) {
    const float tableWidths[] = {1800, 250, 700, 1800, 1000, 1400, 1400, 1400};
    const QString widths = "100,101,102,103,104,105,106,107";
    QList<int> perm = {0, 1, 2, 3, 4, 5, 6, 7};
    int orders = 0;
    QStringList arr;
    do {
        QStringList order;
        for (int p : perm)
            order << kDefaultOrder[p];
        const std::string trace = order.join(',').toStdString();
        GridColumns c = defaultColumns();
        modGeneral::LoadGridColumns(c, order.join(','), widths, arr);
        ASSERT_EQ(c.Count(), 8) << trace;
        int highest = -1;
        for (int i = 0; i < 8; ++i) {
            const GridColumns::ColumnPtr col = c.Item(i + 1);
            ASSERT_EQ(col->ColumnKey, order[i]) << trace;
            ASSERT_EQ(col->ColumnIndex, i) << trace;
            ASSERT_EQ(modGeneral::GetColumnIndexByKey(c, order[i]), i) << trace;
            // A column is left alone only when everything before it is already in place.
            highest = std::max(highest, perm[i]);
            const bool inPlace = perm[i] == i && highest == i;
            const float expected = inPlace ? tableWidths[i] : order[i] == "Selection" ? 250 : 100 + i;
            ASSERT_EQ(col->ColumnWidth, expected) << trace << " at " << i;
        }
        ++orders;
    } while (std::next_permutation(perm.begin(), perm.end()));
    EXPECT_EQ(orders, 40320);
}

TEST(LoadGridColumns, BadOrMissingWidthsKeepTheColumnAndItsWidth) {
    struct Case {
        const char* name;
        QString widths;
        float expectedNameWidth;
        int logLines;
    };
    const Case cases[] = {
        {"not a number", "1800,250,x,1800,1000,1400,2000,2000", 1800, 1},
        {"missing", "1800,250", 1800, 1},
        {"negative", "1800,250,-5,1800,1000,1400,2000,2000", 1800, 0},
        {"rounded half to even", "1800,250,98.5,1800,1000,1400,2000,2000", 98, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ScopedStorage storage;
        GridColumns c = defaultColumns();
        QStringList order = kDefaultOrder;
        order.move(0, 2); // Selection, Pages, Name, ...
        QStringList arr;
        modGeneral::LoadGridColumns(c, order.join(" , "), k.widths, arr);
        EXPECT_EQ(c.Count(), 8);
        EXPECT_EQ(keysInListOrder(c), order);
        EXPECT_EQ(modGeneral::GetColumnIndexByKey(c, "Name"), 2);
        EXPECT_EQ(c.Item("Name")->ColumnWidth, k.expectedNameWidth);
        EXPECT_EQ(storage.errorLog().count(" in procedure LoadGridColumns at Line No. "), k.logLines);
    }
}

TEST(LoadGridColumns, UsesTheProcessWideListAndSettings) {
    ScopedStorage storage;
    Settings settings;
    settings.LoadDefaultSettings();
    settings.setColumnReOrder("Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    GridColumns c = defaultColumns();
    Settings* const oldSettings = AppSettings;
    GridColumns* const oldColumns = AppGridColumns;
    AppSettings = &settings;
    AppGridColumns = &c;
    modGeneral::LoadGridColumns();
    EXPECT_EQ(modGeneral::GetColumnIndexByKey("Pages"), 0);
    EXPECT_EQ(arrColumnReOrder.size(), 8);
    EXPECT_EQ(arrColumnReOrder.first(), "Pages");
    AppSettings = oldSettings;
    AppGridColumns = oldColumns;
}

TEST(FileRecord, FullPathJoinsFolderAndNameWithOneSeparator) {
    clsColSetOrderGrid r;
    EXPECT_EQ(r.PageCount(), 0);
    EXPECT_TRUE(r.filename().isEmpty());
    r.setFilename("scan.tif");
    r.setFileLocation("/data/in");
    const QString a = r.FullPath();
    r.setFileLocation("/data/in/");
    EXPECT_EQ(r.FullPath(), a);
    EXPECT_EQ(a, "/data/in/scan.tif");
}
