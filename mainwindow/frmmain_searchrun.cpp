// The folder search of the main window: the search button, the driver that shows the
// loading window around the walk, the rows the walk lists, and the deferred page counts.

#include "mainwindow/frmmain.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/frmloading.h"
#include "search/filerowbuilder.h"
#include "search/filerowpages.h"
#include "search/filesearch.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStyle>
#include <memory>

namespace {

constexpr auto kOwner = u" of Form frmMain at time";
const QString kSearchCaption = QStringLiteral("&Search");
const QString kCancelCaption = QStringLiteral("&Cancel");

// The walk hands its files to the window's row builder.
class GridRowSink : public filesearch::FileRowSink {
public:
    explicit GridRowSink(frmMain& window) : m_window(window) {}
    void AddFileRow(const QString& folder, const filesearch::FindData& file) override {
        m_window.AddFileRow(folder, file);
    }

private:
    frmMain& m_window;
};

// The data rows of the result grid, as the page counting reads and writes them.
class GridPageRows : public filesearch::PageCountRows {
public:
    GridPageRows(FlexGrid& grid, int selection, int name, int location, int pages)
        : m_grid(grid), m_selection(selection), m_name(name), m_location(location), m_pages(pages) {}

    int rowCount() const override { return m_grid.Rows() - 1; }
    bool isChecked(int row) const override { return m_grid.CellChecked(row + 1, m_selection) == flexChecked; }
    QString name(int row) const override { return m_grid.TextMatrix(row + 1, m_name); }
    QString location(int row) const override { return m_grid.TextMatrix(row + 1, m_location); }
    void setPagesText(int row, const QString& text) override { m_grid.setTextMatrix(row + 1, m_pages, text); }

private:
    FlexGrid& m_grid;
    int m_selection, m_name, m_location, m_pages;
};

// Tells whether the user put the keyboard focus somewhere in `window` (a click, Tab, a
// shortcut) while it watches; the focus Qt moves by itself (a control disabled, the window
// active again) does not count.
class UserFocusWatch : public QObject {
public:
    explicit UserFocusWatch(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~UserFocusWatch() override { qApp->removeEventFilter(this); }
    bool moved() const { return m_moved; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::FocusIn || !object->isWidgetType()) return false;
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::MouseFocusReason:
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            if (static_cast<QWidget*>(object)->window() == m_window) m_moved = true;
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget* m_window;
    bool m_moved = false;
};

} // namespace

void frmMain::cmdSearch_Click() {
    trap(u"cmdSearch_Click", kOwner, [&] {
        if (cmdSearch->text() == kSearchCaption) {
            m_cancelSearch = false;
            cmdSearch->setText(kCancelCaption);
            MainLoadFiles(ftvFolder->SelectedFolder(), true);
            cmdSearch->setText(kSearchCaption);
        } else {
            // Arrives through the walk's pumping: the walk stops before its next file.
            m_cancelSearch = true;
            grdSearchList->setRedraw(true);
            grdSearchList->setVisible(true);
        }
        grdSearchList->setSort(AppSettings->SortbyNumeric() != 0 ? flexSortNumericAscending
                                                                 : flexSortGenericAscending);
        QString status = getSelectedFileinfo();
        SetStatusText(status);
    });
}

void frmMain::MainLoadFiles(QString folder, bool resetGrid) {
    m_cancelSearch = false;
    m_closedDuringSearch = false;
    ++m_searchDepth;
    trap(u"MainLoadFiles", kOwner, [&] {
        std::unique_ptr<frmLoading> loading;
        // Disabling the tree (or the grid) takes the keyboard focus from it, and each arrow-key
        // step in the tree starts a search: the focus goes back where it was, unless the user
        // put it somewhere else meanwhile.
        const QPointer<QWidget> focusBefore = searchControlFocus();
        const UserFocusWatch userFocus(this);
        // Whatever ends the walk (its end, a cancel, a failure), the window is usable again.
        const auto restore = qScopeGuard([&] {
            finishSearch();
            quietly([&] {
                if (focusBefore && focusBefore->isEnabled() && !userFocus.moved())
                    focusBefore->setFocus(Qt::OtherFocusReason);
            });
        });
        EnableSearchControls(false);
        setCursor(Qt::BusyCursor);

        folder = filesearch::SearchFolderFor(folder);
        lookUpSearchColumns();

        // Owned by the main window. The start folder's search runs before the main window is
        // shown: its loading window stands alone then, since an owner would be given a native
        // window before its start geometry is settled.
        loading = std::make_unique<frmLoading>(isVisible() ? this : nullptr);
        m_loading = loading.get();
        m_loading->show();

        if (resetGrid) grdSearchList->setRows(1);
        DoEvents();
        grdSearchList->setRedraw(false);
        grdSearchList->setVisible(false);

        LoadFiles(folder, resetGrid);
    });
    --m_searchDepth;
    if (m_closedDuringSearch) {
        // The window went when it was closed; the object goes once the search that was
        // running in it is off the stack (the delete waits for the event loop).
        if (m_searchDepth == 0 && m_deleteAfterSearch) {
            m_deleteAfterSearch = false;
            deleteLater();
        }
        return; // no message over a window that is gone
    }
    if (m_cancelSearch)
        Ui().MsgBox(QStringLiteral("Process is terminated."), MsgButtons::OK, MsgIcon::Information,
                    kAppTitle);
}

void frmMain::finishSearch() {
    // Runs while a failure unwinds: nothing here may throw.
    quietly([&] {
        grdSearchList->setRedraw(true);
        grdSearchList->setVisible(true);
    });
    quietly([&] {
        if (m_loading) m_loading->close();
    });
    m_loading = nullptr;
    quietly([&] { unsetCursor(); });
    quietly([&] { EnableSearchControls(true); });
}

// The window's focus widget when it lies in a control the search disables, else null.
QWidget* frmMain::searchControlFocus() const {
    QWidget* focus = focusWidget();
    for (const QWidget* control :
         {static_cast<QWidget*>(ftvFolder), ctlPaneSearchList, static_cast<QWidget*>(chkSearchSubFolder)})
        if (focus && control && (focus == control || control->isAncestorOf(focus))) return focus;
    return nullptr;
}

void frmMain::lookUpSearchColumns() {
    SearchColumns& c = m_searchCols;
    c.name = columnOf(QStringLiteral("Name"));
    c.selection = columnOf(QStringLiteral("Selection"));
    c.location = columnOf(QStringLiteral("Location"));
    c.size = columnOf(QStringLiteral("Size (In KB)"));
    c.type = columnOf(QStringLiteral("Type"));
    c.created = columnOf(QStringLiteral("Created Date"));
    c.modified = columnOf(QStringLiteral("Modified Date"));
    c.pages = columnOf(QStringLiteral("Pages"));
    c.pagesShown = filesearch::FileRowBuilder::isColumnShown(AppSettings->ColumnVisibility(), c.pages);
}

void frmMain::LoadFiles(const QString& folder, bool resetGrid) {
    if (m_cancelSearch) return;
    filesearch::SearchOptions options;
    options.subfolders = chkSearchSubFolder->isChecked();
    options.patterns =
        filesearch::PatternsForFilter(cboFilterPattern->currentIndex(), cboFilterPattern->currentText());
    filesearch::SearchCriteria& c = options.criteria;
    c.useAdvanced = ChkUseAdvOpt->isChecked();
    c.byDate = chkSearchByDate->isChecked();
    c.dateKind = cboDateRangeType->currentText();
    c.dateRange = optInPeriod->isChecked() ? filesearch::SearchCriteria::DateRange::InTheLast
                                           : filesearch::SearchCriteria::DateRange::Between;
    c.periodText = txtInPeriod->text();
    c.periodUnit = cboDateInPeriod->currentText();
    c.dateFrom = dtpDateFrom->date();
    c.dateTo = dtpDateTo->date();
    c.bySize = chkSearchBySize->isChecked();
    c.sizeRange = optSizeAt->isChecked() ? filesearch::SearchCriteria::SizeRange::At
                                         : filesearch::SearchCriteria::SizeRange::Between;
    c.leastMost = cboLeastMost->currentText();
    c.sizeText = txtSizeLeastMost->text();
    c.sizeFromText = txtSizeFrom->text();
    c.sizeToText = txtSizeTo->text();

    if (resetGrid) grdSearchList->setRows(1);
    if (m_fileTypeIcons.fallbackIcon().isNull())
        m_fileTypeIcons.setFallbackIcon(style()->standardIcon(QStyle::SP_FileIcon));

    GridRowSink sink(*this);
    filesearch::FolderSearch search(options, sink);
    // The flag is read before every file and folder: a cancel click taken by a pump stops
    // the walk before its next file.
    search.setCancelCheck([this] { return m_cancelSearch; });
    // Pumping events after every file would cost more than the walk itself: a file takes a
    // few microseconds, a pump many more. At most one pump per interval keeps the window
    // just as responsive.
    QElapsedTimer steady;
    steady.start();
    const std::function<qint64()> clock = SearchClock ? SearchClock : [&steady] { return steady.elapsed(); };
    qint64 lastPump = clock();
    search.setPump([&] {
        const qint64 now = clock();
        if (now - lastPump < SearchPumpIntervalMs) return;
        lastPump = now;
        DoEvents();
        if (SearchPumpHook) SearchPumpHook();
    });
    search.LoadFiles(folder);
}

void frmMain::AddFileRow(const QString& folder, const filesearch::FindData& file) {
    if (m_cancelSearch) return;
    if (file.name == QLatin1String(".") || file.name == QLatin1String("..")) return;
    const SearchColumns& c = m_searchCols;
    filesearch::FileRowBuilder builder(m_fileTypes);
    builder.setPageCounting(c.pagesShown, TiffPageCounter, PdfPageCounter);
    const filesearch::FileRow row = builder.build(folder, file);

    FlexGrid* g = grdSearchList;
    QStringList cells(g->Cols());
    const auto put = [&cells](int col, const QString& text) {
        if (col >= 0 && col < cells.size()) cells[col] = text;
    };
    put(c.name, row.name);
    put(c.location, row.location);
    put(c.size, row.size);
    put(c.type, row.type);
    put(c.created, row.created);
    put(c.modified, row.modified);
    if (c.pagesShown) put(c.pages, row.pages);
    const int r = g->AddItem(cells);
    g->setCellPicture(r, c.name, m_fileTypeIcons.icon(row.iconKey));
    if (m_loading) m_loading->UpdateStatus(g->Rows() - 1);
}

void frmMain::GetPageCount() {
    const int pages = columnOf(QStringLiteral("Pages"));
    GridPageRows rows(*grdSearchList, columnOf(QStringLiteral("Selection")), columnOf(QStringLiteral("Name")),
                      columnOf(QStringLiteral("Location")), pages);
    filesearch::GetPageCount(rows, AppSettings->ColumnVisibility().split(QLatin1Char(',')), pages,
                             TiffPageCounter, PdfPageCounter);
}

void frmMain::EnableSearchControls(bool enabled) {
    ftvFolder->setEnabled(enabled);
    ctlPaneSearchList->setEnabled(enabled);
    chkSearchSubFolder->setEnabled(enabled);
    // New preferences would move the grid's columns under the rows the walk is adding.
    if (mnupreferances) mnupreferances->setEnabled(enabled);
}

// Closing the window stops a running walk at its next check. The object must outlive the
// search that is still on the stack, so a delete on close waits until the search returns.
void frmMain::stopSearchForClose() {
    if (m_searchDepth == 0) return;
    m_cancelSearch = true;
    m_closedDuringSearch = true;
    if (testAttribute(Qt::WA_DeleteOnClose)) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        m_deleteAfterSearch = true;
    }
}
