// The export of the result grid's rows that are not unchecked, as delimited text.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modmasterlayout.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "mainwindow/dlgsave.h"
#include "mainwindow/exportfile.h"

namespace {
constexpr auto kOwner = u" of Form frmMain at time";

void inform(const QString& text) {
    Ui().MsgBox(text, MsgButtons::OK, MsgIcon::Information, kAppTitle);
}
} // namespace

void frmMain::cmdExport_Click() {
    trap(u"cmdExport_Click", kOwner, [&] {
        FlexGrid* g = grdSearchList;
        if (g->Rows() < 2) {
            inform(QStringLiteral("No Files Found"));
            return;
        }
        const int sel = columnOf(QStringLiteral("Selection"));
        bool any = false;
        for (int r = 1; r < g->Rows() && !any; ++r)
            any = g->CellChecked(r, sel) == flexChecked;
        if (!any) {
            inform(QStringLiteral("No files selected"));
            return;
        }
        ExportCheckedRows(g);
    });
}

bool frmMain::ExportCheckedRows(FlexGrid* grid) {
    // This export's own answer: a cancel of an earlier export must not hide this one's failure.
    QString target;
    try {
        if (ExportCopyHook) ExportCopyHook();
        const int sel = columnOf(QStringLiteral("Selection"));
        // Only the unchecked rows are left out: a row that lost its box to Select all (its page
        // count failed) is kept away from the tools, not from a list of what was found.
        exportfile::Table table = exportfile::CopyRows(
            grid->Rows(), grid->Cols(), [&](int r) { return grid->CellChecked(r, sel) != flexUnchecked; },
            [&](int r, int c) { return grid->TextMatrix(r, c); });

        dlgSave dialog(this);
        Ui().ShowModal(&dialog);
        target = dialog.filename;
        if (target == exportfile::kCancelled) return false;

        for (int c = grid->Cols() - 1; c >= 0; --c)
            if (grid->TextMatrix(0, c) == QLatin1String("Selection") || grid->ColHidden(c)) table.drop(c);
        const QChar separator = dialog.ColumnSaperator.isEmpty() ? QChar(u'\t') : dialog.ColumnSaperator.at(0);
        exportfile::WriteDelimited(table, target, separator);

        if (dialog.OpenFile)
            modMasterLayout::ShellOpen(QStringLiteral("open"), target);
        else
            inform(target + QStringLiteral("Exported successfully"));
        return true;
    } catch (const RuntimeError& e) {
        if (target != exportfile::kCancelled) inform(QStringLiteral("Unable to export!\r\n\r\n") + e.description);
    } catch (const std::exception& e) {
        if (target != exportfile::kCancelled)
            inform(QStringLiteral("Unable to export!\r\n\r\n") + QString::fromLocal8Bit(e.what()));
    }
    return false;
}
