#include "tests/mainwindow/mainwindowfixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTest>

namespace {

const QString kSummary = QStringLiteral(" file selected; Total Page count of selected Tiff files: ");

// What the header reports when the user clicks a column's caption.
void clickHeader(FlexGrid* g, int col) {
    emit g->view()->horizontalHeader()->sectionClicked(col);
}

} // namespace

using ResultGrid = MainWindowFixture;
using CheckCommands = MainWindowFixture;

TEST_F(ResultGrid, SetUpFollowsTheColumnListAndTheSavedVisibility) {
    settings->setColumnVisibility("1,1,0,1,1,1,1,1");
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    EXPECT_EQ(g->Rows(), 1);
    EXPECT_EQ(headers(g), (QStringList{"Name", "Selection", "Pages", "Location", "Size (In KB)", "Type",
                                       "Created Date", "Modified Date"}));
    EXPECT_EQ(g->ColWidth(0), 1800);
    EXPECT_EQ(g->ColWidth(7), 2000);
    EXPECT_EQ(g->ColDataType(1), flexDTBoolean);
    EXPECT_EQ(g->ColFormat(6), "dd/mm/yyyy hh:mm ampm");
    EXPECT_EQ(g->ColAlignment(4), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(g->ColAlignment(3), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_FALSE(g->Editable());
    for (int c = 0; c < g->Cols(); ++c)
        EXPECT_EQ(g->ColHidden(c), c == 2) << c;

    // The preferences changed order, widths and visibility: the grid follows.
    settings->setColumnReOrder("Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    settings->setLastGridColWidth("700,2500,250,1800,1000,1400,2000,2000");
    settings->setColumnVisibility("1,1,1,0,1,1,1,1");
    addRow(w, "a.tif", "/data", "3");
    w.RefreshGrid();
    EXPECT_EQ(headers(g), (QStringList{"Pages", "Name", "Selection", "Location", "Size (In KB)", "Type",
                                       "Created Date", "Modified Date"}));
    EXPECT_EQ(g->ColWidth(1), 2500);
    EXPECT_EQ(g->ColAlignment(0), Qt::AlignRight | Qt::AlignVCenter);
    for (int c = 0; c < g->Cols(); ++c)
        EXPECT_EQ(g->ColHidden(c), c == 3) << c;
    EXPECT_EQ(g->TextMatrix(1, 0), "3"); // cells moved with their columns
    EXPECT_EQ(col("Name"), 1);
}

TEST_F(ResultGrid, DraggingAColumnRewritesTheSavedLayout) {
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    g->view()->horizontalHeader()->moveSection(2, 0); // the user drops "Pages" first
    EXPECT_EQ(headers(g).first(), "Pages");
    EXPECT_EQ(settings->ColumnReOrder(),
              "Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    EXPECT_EQ(settings->LastGridColWidth(), "700,1800,250,1800,1000,1400,2000,2000");
    EXPECT_EQ(settings->ColumnVisibility(), "1,1,1,1,1,1,1,1");
    EXPECT_EQ(col("Pages"), 0);
    EXPECT_EQ(col("Name"), 1);
    EXPECT_EQ(arrLastGridColWidth.first(), "700");

    settings->writes = 0;
    int same = 3;
    w.grdSearchList_AfterMoveColumn(3, same);
    EXPECT_EQ(settings->writes, 0);
}

TEST_F(ResultGrid, HeaderSortsFollowTheColumnRulesInBothDirections) {
    settings->setSortbyNumeric(1);
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    addRow(w, "file10.tif", "/d", "Error", "1,200 KB");
    addRow(w, "file2.tif", "/d", "12", "95 KB");
    addRow(w, "File1.pdf", "/d", "", "3 KB");
    addRow(w, "file02.jpg", "/d", "3", "10,001 KB");

    // The start folder's search left the names sorted ascending: a click reverses them.
    // Natural order: "file02.jpg" and "file2.tif" hold the same number, so the rest decides.
    clickHeader(g, col("Name"));
    EXPECT_EQ(column(g, "Name"), (QStringList{"file10.tif", "file2.tif", "file02.jpg", "File1.pdf"}));
    clickHeader(g, col("Name"));
    EXPECT_EQ(column(g, "Name"), (QStringList{"File1.pdf", "file02.jpg", "file2.tif", "file10.tif"}));
    clickHeader(g, col("Name"));
    EXPECT_EQ(column(g, "Name"), (QStringList{"file10.tif", "file2.tif", "file02.jpg", "File1.pdf"}));

    // "Error" and empty come below every count, among themselves as text.
    clickHeader(g, col("Pages"));
    EXPECT_EQ(column(g, "Pages"), (QStringList{"", "Error", "3", "12"}));
    clickHeader(g, col("Pages"));
    EXPECT_EQ(column(g, "Pages"), (QStringList{"12", "3", "Error", ""}));

    clickHeader(g, col("Size (In KB)"));
    EXPECT_EQ(column(g, "Size (In KB)"), (QStringList{"3 KB", "95 KB", "1,200 KB", "10,001 KB"}));

    settings->setSortbyNumeric(0);
    clickHeader(g, col("Name"));
    EXPECT_EQ(column(g, "Name"), (QStringList{"file02.jpg", "File1.pdf", "file10.tif", "file2.tif"}));
}

TEST_F(ResultGrid, SpaceTogglesEveryHighlightedRowOnce) {
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    for (int i = 1; i <= 6; ++i)
        addRow(w, QStringLiteral("f%1.tif").arg(i), "/d", "1");
    g->setCellChecked(4, col("Selection"), flexChecked);
    g->Select(3, col("Selection"), 5, col("Selection"));
    QTest::keyClick(g->view(), Qt::Key_Space);
    EXPECT_EQ(checks(g), (QList<int>{flexUnchecked, flexUnchecked, flexChecked, flexUnchecked, flexChecked,
                                     flexUnchecked}));
    EXPECT_EQ(w.StatusText(), "2" + kSummary + "2");
}

TEST_F(ResultGrid, OnlyALeftPressOnTheSelectionColumnAllowsEditing) {
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    addRow(w, "a.tif");
    g->setRow(1);
    g->setCol(col("Selection"));
    w.grdSearchList_MouseDown(1, 0, 1, col("Selection"));
    EXPECT_TRUE(g->Editable());
    w.grdSearchList_MouseDown(2, 0, 1, col("Selection"));
    EXPECT_FALSE(g->Editable());
    g->setCol(col("Name"));
    w.grdSearchList_MouseDown(1, 0, 1, col("Name"));
    EXPECT_FALSE(g->Editable());
}

TEST_F(ResultGrid, StatusShowsTheSummaryOrStatusWhenThereIsNone) {
    frmMain w;
    addRow(w, "a.tif", "/d", "12");
    addRow(w, "b.PDF", "/d", "30");
    addRow(w, "c.jpg", "/d", "");
    w.grdSearchList->setCellCheckedRange(1, col("Selection"), 3, col("Selection"), flexChecked);
    w.grdSearchList_MouseUp();
    EXPECT_EQ(w.StatusText(), "3" + kSummary + "12");
    QString empty;
    w.SetStatusText(empty);
    EXPECT_EQ(empty, "Status");
    EXPECT_EQ(w.StatusText(), "Status");
}

TEST_F(CheckCommands, CtrlAChecksAllButErrorRowsAndCtrlDUnchecksAll) {
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    addRow(w, "a.tif", "/d", "2");
    addRow(w, "b.tif", "/d", "Error");
    addRow(w, "c.pdf", "/d", "error");
    addRow(w, "d.jpg", "/d", "");

    w.Form_KeyDown('A', 2 | 1); // Ctrl+Shift+A
    EXPECT_EQ(checks(g), QList<int>(4, flexUnchecked));

    w.Form_KeyDown('A', 2);
    // The search for "Error" ignores case, as the grid's row search does.
    EXPECT_EQ(checks(g), (QList<int>{flexChecked, flexNoCheckbox, flexNoCheckbox, flexChecked}));
    EXPECT_EQ(w.StatusText(), "2" + kSummary + "2");

    w.Form_KeyDown('D', 2);
    EXPECT_EQ(checks(g), QList<int>(4, flexUnchecked));
    EXPECT_EQ(w.StatusText(), "0" + kSummary + "0");
}

TEST_F(CheckCommands, TheShortcutsReachTheCommandsFromTheGrid) {
    frmMain w;
    addRow(w, "a.tif", "/d", "2");
    w.show();
    QApplication::setActiveWindow(&w);
    w.grdSearchList->view()->setFocus();
    QTest::keyClick(w.grdSearchList->view(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(checks(w.grdSearchList), QList<int>{flexChecked});
    QTest::keyClick(w.grdSearchList->view(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(checks(w.grdSearchList), QList<int>{flexUnchecked});
}

TEST_F(CheckCommands, AnEmptyGridIsLeftAlone) {
    frmMain w;
    QString marker = QStringLiteral("untouched");
    w.SetStatusText(marker);
    w.mnuCtxSelectAll_Click();
    w.mnuCtxDeSelectAll_Click();
    EXPECT_EQ(w.StatusText(), "untouched");
    EXPECT_EQ(w.grdSearchList->Rows(), 1);
}
