#include "gui/widgets/flexgrid.h"
#include "gui/widgets/flexgriddelegate.h"
#include "tests/support/errorof.h"

#include "core/runtimeerror.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <climits>
#include <gtest/gtest.h>

namespace {

// The file grid's usual columns: Name, Selection, Pages, Location, Size, Created.
enum { cName, cSel, cPages, cLoc, cSize, cDate, kCols };

struct Grid {
    FlexGrid g;
    Grid() {
        g.resize(900, 500);
        g.setCols(kCols);
        const QStringList captions{"Name", "Selection", "Pages", "Location", "Size (In KB)", "Created Date"};
        const int types[] = {flexDTString, flexDTBoolean, flexDTDecimal,
                             flexDTString, flexDTDecimal, flexDTDate};
        for (int c = 0; c < kCols; ++c) {
            g.setTextMatrix(0, c, captions[c]);
            g.setColDataType(c, types[c]);
        }
        g.setColFormat(cDate, "dd/mm/yyyy hh:mm ampm");
    }
    void add(const QString& name, const QString& pages = {}, const QString& size = {},
             const QString& date = {}) {
        g.AddItem({name, {}, pages, "/x", size, date});
    }
    QStringList column(int col) const {
        QStringList out;
        for (int r = 1; r < g.Rows(); ++r)
            out << g.TextMatrix(r, col);
        return out;
    }
    QPoint cellCentre(int row, int col) const {
        return g.view()->visualRect(g.view()->model()->index(row - 1, col)).center();
    }
};

} // namespace

TEST(FlexGrid, RowsColumnsAndTextsAreOneBasedWithTheHeaderAsRowZero) {
    Grid t;
    EXPECT_EQ(t.g.Rows(), 1);
    t.add("a.tif", "3");
    t.add("b.pdf", "Error");
    EXPECT_EQ(t.g.Rows(), 3);
    EXPECT_EQ(t.g.TextMatrix(0, cPages), "Pages");
    EXPECT_EQ(t.g.TextMatrix(2, cName), "b.pdf");
    EXPECT_EQ(t.g.view()->model()->headerData(cLoc, Qt::Horizontal).toString(), "Location");
    t.g.setRows(1);
    EXPECT_EQ(t.g.Rows(), 1);
    EXPECT_EQ(t.g.view()->model()->rowCount(), 0);
    t.g.setRows(3); // growing appends empty rows whose boxes start unchecked
    EXPECT_EQ(t.g.TextMatrix(2, cName), "");
    EXPECT_EQ(t.g.CellChecked(2, cSel), flexUnchecked);
    EXPECT_EQ(errorNumberOf([&] { t.g.TextMatrix(3, 0); }), 381);
    EXPECT_EQ(errorNumberOf([&] { t.g.setTextMatrix(1, kCols, "x"); }), 381);
    EXPECT_EQ(errorNumberOf([&] { t.g.TextMatrix(-1, 0); }), 381);
}

TEST(FlexGrid, CheckStatesLiveOnlyInBooleanColumnsAndMirrorTheirText) {
    Grid t;
    for (int i = 0; i < 3; ++i)
        t.add(QString("f%1").arg(i));
    EXPECT_EQ(t.g.CellChecked(1, cSel), flexUnchecked);
    EXPECT_EQ(t.g.TextMatrix(1, cSel), "0");

    struct Case {
        int state;
        QString text;
        QVariant role;
    };
    const Case cases[] = {
        {flexChecked, "1", Qt::Checked}, {flexUnchecked, "0", Qt::Unchecked}, {flexNoCheckbox, "", {}}};
    for (const Case& c : cases) {
        t.g.setCellChecked(2, cSel, c.state);
        EXPECT_EQ(t.g.CellChecked(2, cSel), c.state);
        EXPECT_EQ(t.g.TextMatrix(2, cSel), c.text);
        EXPECT_EQ(t.g.view()->model()->index(1, cSel).data(Qt::CheckStateRole), c.role);
    }
    // Text written to a Boolean cell sets its state.
    const std::pair<QString, int> texts[] = {{"1", flexChecked},  {"0", flexUnchecked}, {"True", flexChecked},
                                             {"-1", flexChecked}, {"", flexUnchecked},  {"x", flexUnchecked}};
    for (const auto& [text, state] : texts) {
        t.g.setTextMatrix(3, cSel, text);
        EXPECT_EQ(t.g.CellChecked(3, cSel), state) << text.toStdString();
    }
    // Other columns and the header carry no box and cannot be ticked.
    t.g.setCellChecked(1, cName, flexChecked);
    t.g.setCellChecked(0, cSel, flexChecked);
    EXPECT_EQ(t.g.CellChecked(1, cName), flexNoCheckbox);
    EXPECT_EQ(t.g.TextMatrix(1, cName), "f0");
    EXPECT_EQ(t.g.CellChecked(0, cSel), flexNoCheckbox);
    EXPECT_FALSE(t.g.view()->model()->index(0, cName).data(Qt::CheckStateRole).isValid());
    EXPECT_EQ(errorNumberOf([&] { t.g.setCellChecked(1, cSel, 7); }), 380);

    // A range over several columns and reversed rows touches only the Boolean cells.
    t.g.setCellCheckedRange(3, cName, 1, cPages, flexChecked);
    EXPECT_EQ(t.column(cSel), QStringList({"1", "1", "1"}));
    EXPECT_EQ(t.column(cName), QStringList({"f0", "f1", "f2"}));
}

TEST(FlexGrid, UserTicksOnlyEditableBooleanCellsAndMouseUpSeesTheNewState) {
    Grid t;
    t.g.show();
    for (int i = 0; i < 3; ++i)
        t.add(QString("f%1").arg(i));
    // The result grid's policy: editing only while the press is in the check column.
    QObject::connect(&t.g, &FlexGrid::MouseDown, &t.g,
                     [&](int button, int, int, int) { t.g.setEditable(button == 1 && t.g.Col() == cSel); });
    QList<int> statesAtMouseUp;
    QObject::connect(&t.g, &FlexGrid::MouseUp, &t.g, [&](int, int, int row, int col) {
        statesAtMouseUp << (row >= 1 ? t.g.CellChecked(row, col) : -1);
    });
    QSignalSpy edits(&t.g, &FlexGrid::AfterEdit);
    QWidget* vp = t.g.view()->viewport();

    QTest::mouseClick(vp, Qt::LeftButton, {}, t.cellCentre(2, cSel));
    EXPECT_EQ(t.g.CellChecked(2, cSel), flexChecked);
    QTest::mouseClick(vp, Qt::LeftButton, {}, t.cellCentre(2, cSel));
    EXPECT_EQ(t.g.CellChecked(2, cSel), flexUnchecked);
    EXPECT_EQ(statesAtMouseUp, QList<int>({flexChecked, flexUnchecked}));
    EXPECT_EQ(edits.count(), 2);

    QTest::mouseClick(vp, Qt::LeftButton, {}, t.cellCentre(3, cName)); // read-only text cell
    QTest::mouseClick(vp, Qt::RightButton, {}, t.cellCentre(3, cSel)); // right button never ticks
    t.g.setCellChecked(1, cSel, flexNoCheckbox);
    QTest::mouseClick(vp, Qt::LeftButton, {}, t.cellCentre(1, cSel)); // no box, nothing to tick
    EXPECT_EQ(t.column(cSel), QStringList({"", "0", "0"}));
    EXPECT_EQ(edits.count(), 2);
    EXPECT_EQ(t.g.MouseRow(), 1);
    EXPECT_EQ(t.g.MouseCol(), cSel);
}

TEST(FlexGrid, SpaceTogglesOnceWhetherTheGridOrItsHandlerDoesIt) {
    Grid t;
    t.g.show();
    for (int i = 0; i < 6; ++i)
        t.add(QString("f%1").arg(i));

    // Unhandled, an editable grid toggles the current Boolean cell alone.
    t.g.setEditable(true);
    t.g.Select(2, cSel);
    QTest::keyClick(t.g.view(), Qt::Key_Space);
    EXPECT_EQ(t.column(cSel), QStringList({"0", "1", "0", "0", "0", "0"}));

    // A handler that consumes Space and toggles the highlighted range: rows 3..5, 4 checked.
    t.g.setCellChecked(2, cSel, flexUnchecked);
    t.g.setCellChecked(4, cSel, flexChecked);
    QList<std::pair<int, int>> keys;
    QObject::connect(&t.g, &FlexGrid::KeyDown, &t.g, [&](int& key, int shift) {
        keys.append({key, shift});
        if (key != 32) return;
        key = 0;
        int r1, c1, r2, c2;
        t.g.GetSelection(r1, c1, r2, c2);
        for (int r = r1; r <= r2; ++r)
            t.g.setCellChecked(r, cSel,
                               t.g.CellChecked(r, cSel) == flexChecked ? flexUnchecked : flexChecked);
    });
    t.g.Select(3, cSel, 5, cSel);
    QTest::keyClick(t.g.view(), Qt::Key_Space);
    EXPECT_EQ(t.column(cSel), QStringList({"0", "0", "1", "0", "1", "0"}));
    QTest::keyClick(t.g.view(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(t.g.view(), Qt::Key_Down, Qt::ShiftModifier);
    // Modifier keys report themselves too (17 Ctrl, 16 Shift), as the old control did.
    const QList<std::pair<int, int>> expected{{32, 0}, {17, 2}, {65, 2}, {16, 1}, {40, 1}};
    EXPECT_EQ(keys, expected);
}

TEST(FlexGrid, SelectionRangeCursorAndSelectedRows) {
    Grid t;
    for (int i = 0; i < 6; ++i)
        t.add(QString("f%1").arg(i));
    int r1, c1, r2, c2;
    t.g.GetSelection(r1, c1, r2, c2);
    EXPECT_EQ(r1, -1);
    EXPECT_EQ(t.g.Row(), -1);
    EXPECT_TRUE(t.g.SelectedRows().isEmpty());

    t.g.Select(5, cName, 3, cName); // cursor on 5, range reaching up to 3
    t.g.GetSelection(r1, c1, r2, c2);
    EXPECT_EQ(std::make_pair(r1, r2), std::make_pair(3, 5));
    EXPECT_EQ(t.g.Row(), 5);
    EXPECT_EQ(t.g.RowSel(), 3);
    EXPECT_EQ(t.g.SelectedRows(), QList<int>({3, 4, 5}));

    t.g.setRow(2);
    EXPECT_EQ(t.g.SelectedRows(), QList<int>({2}));
    EXPECT_EQ(t.g.RowSel(), 2);
    t.g.setCol(cLoc);
    EXPECT_EQ(t.g.Col(), cLoc);
    t.g.setRows(1); // the current column outlives the rows
    EXPECT_EQ(t.g.Row(), -1);
    EXPECT_EQ(t.g.Col(), cLoc);
    EXPECT_EQ(errorNumberOf([&] { t.g.Select(0, 0); }), 381);
}

TEST(FlexGrid, HeaderDragMovesTheModelColumnAndReportsOnce) {
    Grid t;
    t.g.show();
    t.g.setUserMoveColumns(true);
    const int widths[] = {1800, 250, 700, 1800, 1000, 2000};
    for (int c = 0; c < kCols; ++c)
        t.g.setColWidth(c, widths[c]);
    t.g.setColHidden(cLoc, true);
    t.add("a.tif", "3", "1 KB");
    t.g.setCellChecked(1, cSel, flexChecked);
    QSignalSpy moved(&t.g, &FlexGrid::AfterMoveColumn);
    QHeaderView* header = t.g.view()->horizontalHeader();

    header->moveSection(cPages, 0); // what a user's drop of "Pages" on the first place does
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 2);
    EXPECT_EQ(moved[0][1].toInt(), 0);
    QStringList captions, cells;
    for (int c = 0; c < kCols; ++c) {
        captions << t.g.TextMatrix(0, c);
        cells << t.g.TextMatrix(1, c);
        EXPECT_EQ(header->visualIndex(c), c); // grid column number = display position
    }
    EXPECT_EQ(captions,
              QStringList({"Pages", "Name", "Selection", "Location", "Size (In KB)", "Created Date"}));
    EXPECT_EQ(cells, QStringList({"3", "a.tif", "1", "/x", "1 KB", ""}));
    EXPECT_EQ(t.g.ColWidth(0), 700);
    EXPECT_EQ(t.g.ColWidth(1), 1800);
    EXPECT_EQ(t.g.ColDataType(2), flexDTBoolean);
    EXPECT_EQ(t.g.CellChecked(1, 2), flexChecked);
    EXPECT_TRUE(t.g.ColHidden(3));
    EXPECT_TRUE(header->isSectionHidden(3));
    EXPECT_EQ(header->sectionSize(1), 120);

    header->moveSection(4, 4); // dropped on its own place
    t.g.ColPosition(0, 5);     // a move from code is no user drag
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(t.g.TextMatrix(0, 5), "Pages");
    EXPECT_EQ(t.g.TextMatrix(0, 0), "Name");

    // The sort mark follows the sorted column, wherever a drag puts it.
    t.g.setUserSort(true);
    t.g.SortBy(0, flexSortGenericDescending); // "Name"
    header->moveSection(0, 3);
    EXPECT_EQ(t.g.TextMatrix(0, 3), "Name");
    EXPECT_EQ(header->sortIndicatorSection(), 3);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST(FlexGrid, WidthsAreTwipsAndHiddenColumnsKeepTheirWidth) {
    Grid t;
    t.g.show();
    QHeaderView* header = t.g.view()->horizontalHeader();
    t.g.setColWidth(cName, 1800);
    t.g.setColWidth(cSel, 250);
    EXPECT_EQ(header->sectionSize(cName), 120);
    EXPECT_EQ(header->sectionSize(cSel), 17);
    t.g.setColHidden(cName, true);
    EXPECT_TRUE(header->isSectionHidden(cName));
    EXPECT_EQ(t.g.ColWidth(cName), 1800);
    t.g.setColWidth(cName, 2400); // a width set while hidden shows when the column returns
    t.g.setColHidden(cName, false);
    EXPECT_EQ(header->sectionSize(cName), 160);
    header->resizeSection(cName, 100); // the user drags the border
    EXPECT_EQ(t.g.ColWidth(cName), 1500);
    EXPECT_EQ(FlexGrid::TwipsFromPixels(7), 105);
    // The largest width a settings file can hold still becomes a sensible pixel width.
    static_assert(FlexGrid::PixelsFromTwips(INT_MAX) == INT_MAX / 15);
    t.g.setColWidth(cName, INT_MAX);
    EXPECT_EQ(t.g.ColWidth(cName), INT_MAX);
}

TEST(FlexGrid, ColumnFormatsAndAlignment) {
    Grid t;
    t.add("a", "12", "1,024 KB", "2024-03-05T14:07:00");
    t.add("b", "", "", "05/03/2024 02:07 PM");
    QAbstractItemModel* m = t.g.view()->model();
    EXPECT_EQ(m->index(0, cDate).data().toString(), "05/03/2024 02:07 PM");
    EXPECT_EQ(m->index(1, cDate).data().toString(), "05/03/2024 02:07 PM");
    EXPECT_EQ(t.g.TextMatrix(1, cDate), "2024-03-05T14:07:00"); // the text is what was written
    t.g.setColAlignment(-1, Qt::AlignLeft | Qt::AlignVCenter);
    t.g.setColAlignment(cPages, Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(m->index(0, cPages).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(t.g.ColAlignment(cName), Qt::AlignLeft | Qt::AlignVCenter);

    QPixmap px(16, 16);
    px.fill(Qt::red);
    const QIcon icon(px);
    t.g.setCellPicture(1, cName, icon);
    t.g.setCellPicture(2, cName, icon);
    EXPECT_EQ(t.g.CellPicture(2, cName).cacheKey(), icon.cacheKey());
    t.g.setCellForeColor(2, cName, QColor(255, 0, 0));
    EXPECT_EQ(t.g.CellForeColor(2, cName), QColor(255, 0, 0));
    EXPECT_FALSE(t.g.CellForeColor(1, cName).isValid());
}

TEST(FlexGrid, LongTextsAreCutTheirColumnsWayNumbersNeverAndTheToolTipHoldsThemWhole) {
    Grid t;
    const QString path = "/tmp/data/scans_2024/department_of_records/box_0001";
    t.add("a.tif", "Error", "140,314 KB");
    t.g.setTextMatrix(1, cLoc, path);
    t.g.setColAlignment(cSize, Qt::AlignRight | Qt::AlignVCenter);
    t.g.setColElide(cLoc, Qt::ElideMiddle);
    EXPECT_EQ(t.g.ColElide(cLoc), Qt::ElideMiddle);
    EXPECT_EQ(t.g.ColElide(cName), Qt::ElideRight);
    t.g.show();
    QTableView* view = t.g.view();
    auto* delegate = qobject_cast<FlexGridDelegate*>(view->itemDelegate());
    ASSERT_TRUE(delegate);
    const QFontMetrics fm(view->font());
    const auto shown = [&](int col, int width) {
        t.g.setColWidth(col, FlexGrid::TwipsFromPixels(width));
        const QModelIndex index = view->model()->index(0, col);
        QStyleOptionViewItem option;
        option.initFrom(view->viewport());
        option.widget = view;
        option.font = view->font();
        option.fontMetrics = fm;
        option.rect = view->visualRect(index);
        return delegate->shownText(option, index);
    };

    // A path keeps its start and its end; the whole of it fits a wide column.
    const QString cut = shown(cLoc, fm.horizontalAdvance(path) / 2);
    EXPECT_TRUE(cut.startsWith("/tmp") && cut.endsWith("0001") && cut.contains(QChar(0x2026)))
        << cut.toStdString();
    EXPECT_EQ(shown(cLoc, fm.horizontalAdvance(path) + 40), path);
    // A number drops its unit before any of its digits, and shows marks where it cannot fit.
    EXPECT_EQ(shown(cSize, 400), "140,314 KB");
    EXPECT_EQ(shown(cSize, fm.horizontalAdvance("140,314 KB")), "140,314");
    const QString marks = shown(cSize, fm.horizontalAdvance("140,3"));
    EXPECT_TRUE(!marks.isEmpty() && marks.count('#') == marks.size()) << marks.toStdString();

    // The tool tip shows the whole text of a cut cell, and nothing over one shown whole.
    EXPECT_EQ(view->model()->index(0, cLoc).data(Qt::ToolTipRole).toString(), path);
    const auto tipOver = [&](int col) {
        const QPoint at = view->visualRect(view->model()->index(0, col)).center();
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        return help.isAccepted() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipOver(cSize), "140,314 KB");
    t.g.setColWidth(cLoc, FlexGrid::TwipsFromPixels(60));
    EXPECT_EQ(tipOver(cLoc), path);
    EXPECT_EQ(tipOver(cName), "");
    QToolTip::hideText();
}

TEST(FlexGrid, FindRowIgnoresCaseAndContinuesAfterAMatch) {
    Grid t;
    const QStringList pages{"3", "Error", "", "ERROR", "error x", "error"};
    for (const QString& p : pages)
        t.add("f", p);
    QList<int> found;
    for (int r = t.g.FindRow("Error", 1, cPages); r > 0; r = t.g.FindRow("Error", r + 1, cPages))
        found << r;
    EXPECT_EQ(found, QList<int>({2, 4, 6}));
    EXPECT_EQ(t.g.FindRow("missing", -1, cPages), -1);
    EXPECT_EQ(t.g.FindRow("ERROR", 7, cPages), -1);
}

TEST(FlexGrid, AppendsReachTheViewInOneInsert) {
    Grid t;
    QSignalSpy inserts(t.g.view()->model(), &QAbstractItemModel::rowsInserted);
    QList<QStringList> rows;
    for (int i = 0; i < 1000; ++i)
        rows.append({QString::number(i)});
    t.g.AddRows(rows);
    EXPECT_EQ(inserts.count(), 1);

    t.g.BeginAppend();
    for (int i = 0; i < 50; ++i)
        t.g.setTextMatrix(t.g.AddItem(), cName, "late");
    EXPECT_EQ(t.g.Rows(), 1051);
    EXPECT_EQ(t.g.TextMatrix(1050, cName), "late"); // readable before the view knows
    EXPECT_EQ(t.g.view()->model()->rowCount(), 1000);
    t.g.EndAppend();
    EXPECT_EQ(inserts.count(), 2);
    EXPECT_EQ(t.g.view()->model()->rowCount(), 1050);

    t.g.setRedraw(false);
    t.g.AddItem({"x"});
    t.g.AddItem({"y"});
    EXPECT_FALSE(t.g.Redraw());
    t.g.setRedraw(true);
    EXPECT_EQ(inserts.count(), 3);
    EXPECT_EQ(t.g.view()->model()->rowCount(), 1052);
}

TEST(FlexGrid, RowsCanBeMovedAndRemoved) {
    Grid t;
    for (const char* n : {"a", "b", "c", "d"})
        t.add(n);
    t.g.RowPosition(1, 3);
    EXPECT_EQ(t.column(cName), QStringList({"b", "c", "a", "d"}));
    t.g.RowPosition(4, 1);
    EXPECT_EQ(t.column(cName), QStringList({"d", "b", "c", "a"}));
    t.g.RemoveItem(2);
    EXPECT_EQ(t.column(cName), QStringList({"d", "c", "a"}));
    EXPECT_EQ(errorNumberOf([&] { t.g.RemoveItem(0); }), 381);
}

TEST(FlexGrid, HeaderPressesReportRowZeroAndAFailingHandlerStaysInside) {
    Grid t;
    t.g.show();
    t.g.setUserSort(true);
    t.add("b");
    t.add("a");
    QList<int> pressedRows;
    QObject::connect(&t.g, &FlexGrid::MouseDown, &t.g, [&](int, int, int row) { pressedRows << row; });
    // Handlers are expected to trap their own errors; one that does not must not take the
    // event loop down, and the sort it interrupted does not happen.
    QObject::connect(&t.g, &FlexGrid::BeforeSort, &t.g, [](int, int&) { raiseError(5); });
    QObject::connect(&t.g, &FlexGrid::KeyDown, &t.g, [](int&, int) { raiseError(13); });
    QHeaderView* h = t.g.view()->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::RightButton, {}, QPoint(h->sectionViewportPosition(cName) + 5, 5));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(cName) + 5, 5));
    QTest::keyClick(t.g.view(), Qt::Key_Space);
    EXPECT_EQ(pressedRows, QList<int>({0, 0}));
    EXPECT_EQ(t.g.MouseRow(), 0);
    EXPECT_EQ(t.column(cName), QStringList({"b", "a"}));
}

TEST(FlexGrid, TabLeavesTheGridForTheNextControl) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    Grid t;
    t.add("a.tif");
    t.add("b.tif");
    layout->addWidget(&t.g);
    auto* next = new QPushButton("Next");
    layout->addWidget(next);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    t.g.setRow(1);
    t.g.view()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), t.g.view());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
}
