// The "Mer&ge and Convert to PDF" button: two or more checked rows, none of them damaged, go
// to the set-order-and-merge dialog as file records, in the grid's order.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "tools/dialogfilegrid.h"
#include "tools/frmsetorder_mcontiff.h"

#include <QScopeGuard>

namespace {

constexpr auto kOwner = u" of Form frmMain at time";
constexpr int kMergeIntoOnePdf = 3;

void inform(const QString& text) {
    Ui().MsgBox(text, MsgButtons::OK, MsgIcon::Information, kAppTitle);
}

} // namespace

void frmMain::cmdConverttiffToPdf_Click() {
    trap(u"cmdConverttiffToPdf_Click", kOwner, [&] {
        if (grdSearchList->Rows() < 2) {
            inform(QStringLiteral("Please Select Files."));
            return;
        }
        GetPageCount();
        int command = kMergeIntoOnePdf;
        ShowSetOrderform(command);
    });
}

void frmMain::ShowSetOrderform(int& command) {
    trap(u"ShowSetOrderform", kOwner, [&] {
        const int selection = dialoggrid::ColumnOf(u"Selection"), pages = dialoggrid::ColumnOf(u"Pages");
        clsColSetOrderGridList records;
        for (int r = 1; r < grdSearchList->Rows(); ++r) {
            if (grdSearchList->CellChecked(r, selection) != flexChecked) continue;
            if (grdSearchList->TextMatrix(r, pages) == QLatin1String("Error")) {
                inform(QStringLiteral("You have selected damaged or corrupted file(s). Please de-select file(s)"));
                return;
            }
            records.append(dialoggrid::RecordFromRow(*grdSearchList, r));
        }
        if (records.size() < 2) {
            inform(QStringLiteral("Please select two or more Files."));
            return;
        }
        // Commands 1 and 4 ask for nothing more.
        if (command != kMergeIntoOnePdf) return;
        frmSetOrder_MConTiff dialog(this);
        SetOrderForm = &dialog;
        // Empty again on every way out, a failure included.
        const auto clear = qScopeGuard([] { SetOrderForm = nullptr; });
        dialog.colSelectedData = records;
        dialog.CommandAction = command;
        dialog.Form_Load();
        Ui().ShowModal(&dialog);
    });
}
