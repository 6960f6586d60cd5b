// The result grid of the main window: its columns from the column list and the saved
// layout, sorting, ticking rows, the check commands and the status summary.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "core/settings.h"
#include "core/vbruntime.h"
#include "gui/widgets/flexgrid.h"
#include "mainwindow/resultgridlayout.h"
#include "search/resultgridsort.h"
#include "search/resultgridstatus.h"

#include <QLabel>
#include <QMenu>

namespace {
constexpr auto kOwner = u" of Form frmMain at time";
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

// The element of a split setting, raising the runtime's error when the list is short.
const QString& elementAt(const QStringList& list, qsizetype i) {
    if (i < 0 || i >= list.size()) raiseError(9);
    return list.at(i);
}

void applyHidden(FlexGrid* grid, const QStringList& visibility) {
    for (qsizetype i = 0; i < visibility.size(); ++i)
        grid->setColHidden(int(i), visibility.at(i) != QLatin1String("1"));
}

void applyFormat(FlexGrid* grid, int col, int dataType) {
    if (dataType == GridColumn::Date) grid->setColFormat(col, resultgrid::kGridDateFormat);
    if (dataType == GridColumn::Decimal) grid->setColAlignment(col, kRight);
}
} // namespace

void frmMain::InitFiles() {
    trap(u"InitFiles", kOwner, [&] {
        modGeneral::LoadGridColumns();
        FlexGrid* g = grdSearchList;
        g->setRows(1);
        g->setEditable(false);
        g->setCols(AppGridColumns->Count());
        g->setColAlignment(-1, kLeft);
        g->setUserSort(true);
        g->setUserMoveColumns(true);
        g->setCompareHook([g](int col, int order) -> FlexGrid::Comparator {
            const int type = g->ColDataType(col);
            if (type == GridColumn::Boolean) return {}; // check states: the grid's own order
            return [type, order](const QString& a, const QString& b) {
                return resultgrid::CompareCells(a, b, type, order);
            };
        });
        for (const GridColumns::ColumnPtr& c : *AppGridColumns) {
            const int col = c->ColumnIndex;
            g->setTextMatrix(0, col, c->ColumnName);
            g->setColWidth(col, vb::CLng(c->ColumnWidth));
            g->setColDataType(col, c->ColumnDatatype);
            applyFormat(g, col, c->ColumnDatatype);
            if (GridColumn::CutInTheMiddle(c->ColumnKey)) g->setColElide(col, Qt::ElideMiddle);
        }
        arrColumnVisibility = AppSettings->ColumnVisibility().split(QLatin1Char(','));
        applyHidden(g, arrColumnVisibility);
    });
}

void frmMain::RefreshGrid() {
    trap(u"RefreshGrid", kOwner, [&] {
        modGeneral::LoadGridColumns();
        arrLastGridColWidth = AppSettings->LastGridColWidth().split(QLatin1Char(','));
        arrColumnReOrder = AppSettings->ColumnReOrder().split(QLatin1Char(','));
        for (int k = 1; k <= AppGridColumns->Count(); ++k)
            AppGridColumns->Item(k)->ColumnWidth = vb::CSng(elementAt(arrLastGridColWidth, k - 1));

        FlexGrid* g = grdSearchList;
        for (const GridColumns::ColumnPtr& c : *AppGridColumns) {
            int j = -1;
            for (int col = 0; col < g->Cols(); ++col) {
                if (g->TextMatrix(0, col) == c->ColumnName) {
                    j = col;
                    break;
                }
            }
            if (j < 0) continue;
            g->ColPosition(j, c->ColumnIndex);
            g->setColWidth(c->ColumnIndex, vb::CLng(c->ColumnWidth));
            applyFormat(g, c->ColumnIndex, c->ColumnDatatype);
        }
        arrColumnVisibility = AppSettings->ColumnVisibility().split(QLatin1Char(','));
        applyHidden(g, arrColumnVisibility);
    });
}

void frmMain::grdSearchList_AfterMoveColumn(int Col, int& Position) {
    trap(u"grdSearchList_AfterMoveColumn", kOwner, [&] {
        if (Col == Position) return;
        QStringList order;
        for (int c = 0; c < grdSearchList->Cols(); ++c)
            order << grdSearchList->TextMatrix(0, c);
        AppSettings->setColumnReOrder(order.join(QLatin1Char(',')));

        const QStringList widths = resultgrid::MoveListElement(
            AppSettings->LastGridColWidth().split(QLatin1Char(',')), Col, Position);
        AppSettings->setLastGridColWidth(widths.join(QLatin1Char(',')));
        arrLastGridColWidth = widths;
        for (int k = 1; k <= AppGridColumns->Count(); ++k)
            AppGridColumns->Item(k)->ColumnWidth = vb::CSng(elementAt(widths, k - 1));

        const QStringList visibility = resultgrid::MoveListElement(
            AppSettings->ColumnVisibility().split(QLatin1Char(',')), Col, Position);
        AppSettings->setColumnVisibility(visibility.join(QLatin1Char(',')));
        arrColumnVisibility = visibility;

        modGeneral::LoadGridColumns();
    });
}

void frmMain::grdSearchList_BeforeSort(int Col, int& Order) {
    trap(u"grdSearchList_BeforeSort", kOwner, [&] {
        Order = resultgrid::BeforeSortOrder(grdSearchList->TextMatrix(0, Col), Order,
                                            AppSettings->SortbyNumeric() != 0);
    });
}

void frmMain::grdSearchList_KeyDown(int& KeyCode, int /*Shift*/) {
    if (KeyCode != 32) return;
    // The grid would toggle the current cell as well; the rows below are the whole answer.
    KeyCode = 0;
    trap(u"grdSearchList_KeyDown", kOwner, [&] {
        int row1 = -1, col1 = -1, row2 = -1, col2 = -1;
        grdSearchList->GetSelection(row1, col1, row2, col2);
        if (row1 < 0 || row2 < 0) return;
        const int sel = columnOf(QStringLiteral("Selection"));
        for (int r = std::max(row1, 1); r <= row2; ++r) {
            const bool checked = grdSearchList->CellChecked(r, sel) == flexChecked;
            grdSearchList->setCellChecked(r, sel, checked ? flexUnchecked : flexChecked);
        }
        // Keep the summary in step with the boxes that just changed.
        QString status = getSelectedFileinfo();
        SetStatusText(status);
    });
}

void frmMain::grdSearchList_MouseDown(int Button, int /*Shift*/, int row, int col, QPoint globalPos) {
    trap(u"grdSearchList_MouseDown", kOwner, [&] {
        // Only the "Selection" boxes can be changed by the user; every other cell is read-only.
        grdSearchList->setEditable(grdSearchList->Col() == columnOf(QStringLiteral("Selection")) &&
                                   Button == 1);
        // A right press on a data cell (not the header, not below the rows) offers the row commands.
        if (Button == 2 && col >= 0 && row >= 1) mnuCtxMenu->popup(globalPos);
    });
}

void frmMain::grdSearchList_MouseUp() {
    QString status = getSelectedFileinfo();
    SetStatusText(status);
}

QString frmMain::getSelectedFileinfo() {
    QString summary;
    trap(u"getSelectedFileinfo", kOwner, [&] {
        const int sel = columnOf(QStringLiteral("Selection"));
        const int name = columnOf(QStringLiteral("Name"));
        const int pages = columnOf(QStringLiteral("Pages"));
        FlexGrid* g = grdSearchList;
        summary = resultgrid::SelectedFileSummary(g->Rows(), [&](int r) {
            resultgrid::SummaryRow row;
            row.checked = g->CellChecked(r, sel) == flexChecked;
            if (row.checked) {
                row.name = g->TextMatrix(r, name);
                row.pages = g->TextMatrix(r, pages);
            }
            return row;
        });
    });
    return summary;
}

void frmMain::SetStatusText(QString& text) {
    if (text.isEmpty()) text = QStringLiteral("Status");
    m_statusPanel->setText(text);
}

QString frmMain::StatusText() const {
    return m_statusPanel->text();
}

void frmMain::mnuCtxSelectAll_Click() {
    CheckAllRows();
}

void frmMain::mnuCtxDeSelectAll_Click() {
    UncheckAllRows();
}

// The whole-grid commands log a failure rather than let it reach the event loop.
void frmMain::CheckAllRows() {
    trap(u"CheckAllRows", kOwner, [&] {
        FlexGrid* g = grdSearchList;
        if (g->Rows() <= 1) return;
        const int sel = columnOf(QStringLiteral("Selection"));
        g->setCellCheckedRange(1, sel, g->Rows() - 1, sel, flexChecked);
        ClearErrorRowCheckboxes();
        QString status = getSelectedFileinfo();
        SetStatusText(status);
    });
}

// Rows whose page count failed cannot take part in a tool run, so they lose their box.
// Ctrl+A also works while a search walks with the grid's drawing off: that is kept off.
void frmMain::ClearErrorRowCheckboxes() {
    FlexGrid* g = grdSearchList;
    const bool redraw = g->Redraw();
    g->setRedraw(false);
    quietly([&] {
        const int sel = columnOf(QStringLiteral("Selection"));
        const int pages = columnOf(QStringLiteral("Pages"));
        for (int r = g->FindRow(QStringLiteral("Error"), 1, pages); r >= 1;
             r = r + 1 < g->Rows() ? g->FindRow(QStringLiteral("Error"), r + 1, pages) : -1)
            g->setCellChecked(r, sel, flexNoCheckbox);
    });
    g->setRedraw(redraw);
}

void frmMain::UncheckAllRows() {
    trap(u"UncheckAllRows", kOwner, [&] {
        FlexGrid* g = grdSearchList;
        if (g->Rows() <= 1) return;
        const int sel = columnOf(QStringLiteral("Selection"));
        g->setCellCheckedRange(1, sel, g->Rows() - 1, sel, flexUnchecked);
        QString status = getSelectedFileinfo();
        SetStatusText(status);
    });
}
