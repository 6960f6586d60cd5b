// The main window's menu bar and the result grid's pop-up menu: the file commands on the
// current row, the check commands, preferences, help, the web site and the about box.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/filefolderscan.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/modmasterlayout.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/frmabout.h"
#include "mainwindow/frmpreferences.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace {
constexpr auto kOwner = u" of Form frmMain at time";

QAction* item(QMenu* menu, const char* name, const char* caption) {
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QMenu* menuNamed(QWidget* parent, const char* name, const char* caption) {
    auto* m = new QMenu(QString::fromLatin1(caption), parent);
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

// Shell paths are built by joining a folder and a name with "/": a folder that already ends
// with one (the root) would give a doubled separator.
QString collapsed(QString path) {
    return path.replace(QStringLiteral("//"), QStringLiteral("/"));
}
} // namespace

// The shortcut hints in the captions are text only: Ctrl+A and Ctrl+D are the window's own
// keys, the others act through the menus.
void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("CommandBars"));
    mnuEdit = menuNamed(this, "mnuEdit", "&Edit");
    mnupreferances = item(mnuEdit, "mnupreferances", "&Preferances Ctr+P");
    mnuExport = item(mnuEdit, "mnuExport", "&Export Ctr+E");
    mnuEdit->addSeparator();
    mnuexit = item(mnuEdit, "mnuexit", "E&xit Ctl+X");
    menuOption = menuNamed(this, "menuOption", "&Option");
    mnuChangeLanguage = item(menuOption, "mnuChangeLanguage", "Change Language...");
    mnuhelp = menuNamed(this, "mnuhelp", "&Help");
    mnuWebsite = item(mnuhelp, "mnuWebsite", "Visit Our &website Ctr+W");
    mnuShowHelp = item(mnuhelp, "mnuShowHelp", "&Help Ctr+H");
    mnuhelp->addSeparator();
    mnuAbout = item(mnuhelp, "mnuAbout", "&About...");
    for (QMenu* m : {mnuEdit, menuOption, mnuhelp})
        bar->addMenu(m);

    mnuCtxMenu = menuNamed(this, "mnuCtxMenu", "Context Menu");
    mnuCtxOpen = item(mnuCtxMenu, "mnuCtxOpen", "Open");
    mnuCtxOpenFolder = item(mnuCtxMenu, "mnuCtxOpenFolder", "Show Contaning Folder");
    mnuCtxPrintFile = item(mnuCtxMenu, "mnuCtxPrintFile", "Print");
    mnuCtxMenu->addSeparator();
    mnuCtxSelectAll = item(mnuCtxMenu, "mnuCtxSelectAll", "Select All Ctr+A");
    mnuCtxInvSelect = item(mnuCtxMenu, "mnuCtxInvSelect", "Invert Selection");
    mnuCtxDeSelectAll = item(mnuCtxMenu, "mnuCtxDeSelectAll", "Deselect All Ctr+D");
    mnuCtxMenu->addSeparator();
    mnuCtxCheckSelection = item(mnuCtxMenu, "mnuCtxCheckSelection", "Check Selection");
    mnuCtxUnCheckSelection = item(mnuCtxMenu, "mnuCtxUnCheckSelection", "UnCheck Selection");
    mnuCtxCheckInvertSelection = item(mnuCtxMenu, "mnuCtxCheckInvertSelection", "Invert Check Selection");

    const std::pair<QAction*, void (frmMain::*)()> handlers[] = {
        {mnupreferances, &frmMain::mnupreferances_Click},
        {mnuExport, &frmMain::mnuExport_Click},
        {mnuexit, &frmMain::mnuexit_Click},
        {mnuWebsite, &frmMain::mnuWebsite_Click},
        {mnuShowHelp, &frmMain::mnuShowHelp_Click},
        {mnuAbout, &frmMain::mnuAbout_Click},
        {mnuCtxOpen, &frmMain::mnuCtxOpen_Click},
        {mnuCtxOpenFolder, &frmMain::mnuCtxOpenFolder_Click},
        {mnuCtxPrintFile, &frmMain::mnuCtxPrintFile_Click},
        {mnuCtxSelectAll, &frmMain::mnuCtxSelectAll_Click},
        {mnuCtxInvSelect, &frmMain::mnuCtxInvSelect_Click},
        {mnuCtxDeSelectAll, &frmMain::mnuCtxDeSelectAll_Click},
        {mnuCtxCheckSelection, &frmMain::mnuCtxCheckSelection_Click},
        {mnuCtxUnCheckSelection, &frmMain::mnuCtxUnCheckSelection_Click},
        {mnuCtxCheckInvertSelection, &frmMain::mnuCtxCheckInvertSelection_Click},
    };
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this, handler);
}

void frmMain::refreshStatus() {
    QString status = getSelectedFileinfo();
    SetStatusText(status);
}

// --- file commands on the current row ----------------------------------------------------

// "Location" and "/" and "Name" of the current row (or the location alone); "" without one.
QString frmMain::currentRowPath(bool withName) const {
    const int r = grdSearchList->Row();
    if (r < 1) return QString();
    const QString location = grdSearchList->TextMatrix(r, columnOf(QStringLiteral("Location")));
    if (!withName) return location;
    return location + QLatin1Char('/') + grdSearchList->TextMatrix(r, columnOf(QStringLiteral("Name")));
}

void frmMain::mnuCtxOpen_Click() {
    trap(u"mnuCtxOpen_Click", kOwner, [&] {
        const QString path = currentRowPath(true);
        if (!path.isEmpty()) modMasterLayout::ShellOpen(QStringLiteral("open"), collapsed(path));
    });
}

void frmMain::mnuCtxOpenFolder_Click() {
    trap(u"mnuCtxOpenFolder_Click", kOwner, [&] {
        if (grdSearchList->Row() < 1) return;
        modMasterLayout::ShellOpen(QStringLiteral("Open"), collapsed(currentRowPath(false)));
    });
}

void frmMain::mnuCtxPrintFile_Click() {
    trap(u"mnuCtxPrintFile_Click", kOwner, [&] {
        const QString path = currentRowPath(true);
        // A file deleted since the search: not even the printer dialog.
        if (path.isEmpty() || !FileFolderScan::IsExistingFile(path)) return;
        if (!Ui().PrinterDialog(this)) return; // cancelled: nothing, silently
        modMasterLayout::ShellOpen(QStringLiteral("Print"), collapsed(path));
    });
}

// --- check commands ----------------------------------------------------------------------

void frmMain::mnuCtxInvSelect_Click() {
    mnuInvSelect_Click();
}

void frmMain::mnuInvSelect_Click() {
    trap(u"mnuInvSelect_Click", kOwner, [&] {
        FlexGrid* g = grdSearchList;
        if (g->Rows() <= 1) return;
        const int sel = columnOf(QStringLiteral("Selection"));
        const int pages = columnOf(QStringLiteral("Pages"));
        for (int r = 1; r < g->Rows(); ++r) {
            // A row whose page count failed ends unchecked, with its box back.
            const bool off =
                g->TextMatrix(r, pages) == QLatin1String("Error") || g->CellChecked(r, sel) == flexChecked;
            g->setCellChecked(r, sel, off ? flexUnchecked : flexChecked);
        }
        refreshStatus();
    });
}

namespace {
// The highlighted data rows, first and last; false when the grid reports none.
bool highlightedRows(const FlexGrid* g, int& first, int& last) {
    int col1 = -1, col2 = -1;
    g->GetSelection(first, col1, last, col2);
    if (first < 0 || last < 0) return false;
    first = std::max(first, 1);
    return first <= last;
}
} // namespace

// Check and UnCheck Selection: the highlighted rows' boxes in one range operation.
void frmMain::setHighlightedChecks(int state) {
    int first = 0, last = 0;
    if (!highlightedRows(grdSearchList, first, last)) return;
    const int sel = columnOf(QStringLiteral("Selection"));
    grdSearchList->setCellCheckedRange(first, sel, last, sel, state);
    refreshStatus();
}

void frmMain::mnuCtxCheckSelection_Click() {
    trap(u"mnuCtxCheckSelection_Click", kOwner, [&] { setHighlightedChecks(flexChecked); });
}

void frmMain::mnuCtxUnCheckSelection_Click() {
    trap(u"mnuCtxUnCheckSelection_Click", kOwner, [&] { setHighlightedChecks(flexUnchecked); });
}

void frmMain::mnuCtxCheckInvertSelection_Click() {
    trap(u"mnuCtxCheckInvertSelection_Click", kOwner, [&] {
        int first = 0, last = 0;
        if (!highlightedRows(grdSearchList, first, last)) return;
        const int sel = columnOf(QStringLiteral("Selection"));
        // Rows that lost their box are not spared: they get a checked one.
        for (int r = first; r <= last; ++r)
            grdSearchList->setTextMatrix(r, sel,
                                         grdSearchList->CellChecked(r, sel) == flexChecked ? QStringLiteral("0")
                                                                                            : QStringLiteral("1"));
        refreshStatus();
    });
}

// --- menu bar ----------------------------------------------------------------------------

void frmMain::mnupreferances_Click() {
    trap(u"mnupreferances_Click", kOwner, [&] {
        modGeneral::LoadGridColumns();
        frmPreferences dialog(this);
        Ui().ShowModal(&dialog);
        if (!dialog.IsPreferanceChange) return;
        RefreshGrid();
        // Choosing another folder in the tree searches it already; the same folder is
        // searched here, so the start folder is searched once either way.
        const QString before = ftvFolder->SelectedFolder();
        ftvFolder->SetSelectedFolder(AppSettings->StartupFolder());
        if (ftvFolder->SelectedFolder() == before) cmdSearch_Click();
    });
}

void frmMain::mnuExport_Click() {
    cmdExport_Click();
}

void frmMain::mnuexit_Click() {
    close();
}

void frmMain::mnuShowHelp_Click() {
    trap(u"mnuShowHelp_Click", kOwner, [&] {
        const QString path = modGeneral::ValidateDir(QCoreApplication::applicationDirPath()) + QStringLiteral("help.chm");
        if (FileFolderScan::IsExistingFile(path))
            modMasterLayout::ShellOpen(QStringLiteral("open"), path);
        else
            Ui().MsgBox(QStringLiteral("Help Not Found."), MsgButtons::OK, MsgIcon::Information, kAppTitle);
    });
}

void frmMain::mnuWebsite_Click() {
    trap(u"mnuWebsite_Click", kOwner,
         [&] { modMasterLayout::ShellOpen(QStringLiteral("open"), modMasterLayout::TrimNull(kWebAddress)); });
}

void frmMain::mnuAbout_Click() {
    trap(u"mnuAbout_Click", u" of Form frmMain", [&] {
        frmAbout about(this);
        Ui().ShowModal(&about);
    });
}
