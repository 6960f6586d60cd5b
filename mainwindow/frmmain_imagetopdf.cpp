// The "Image to PDF" button: the checked rows that are images by the current filter go to
// the image-to-PDF dialog as file records, in the grid's order.

#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "search/filesearchpatterns.h"
#include "tools/dialogfilegrid.h"
#include "tools/frmconimagetopdf.h"

#include <QComboBox>

namespace {

constexpr auto kOwner = u" of Form frmMain at time";

void inform(const QString& text) {
    Ui().MsgBox(text, MsgButtons::OK, MsgIcon::Information, kAppTitle);
}

// Unlike the search's, these split on "," only and keep blanks: "*.tif; *.jpg" is one pattern.
QStringList imagePatterns(const QComboBox& filter) {
    const QString text = filter.currentIndex() == 0 ? FilterPatterns[0] : filter.currentText();
    return text.split(QLatin1Char(','));
}

} // namespace

void frmMain::cmdConImageToPdf_Click() {
    trap(u"cmdConImageToPdf_Click", kOwner, [&] {
        if (grdSearchList->Rows() < 2) {
            inform(QStringLiteral("Please Select Files."));
            return;
        }
        frmConImageToPdf dialog(this);
        GetPageCount();
        const QStringList patterns = imagePatterns(*cboFilterPattern);
        const int selection = dialoggrid::ColumnOf(u"Selection");
        for (int r = 1; r < grdSearchList->Rows(); ++r) {
            if (grdSearchList->CellChecked(r, selection) != flexChecked) continue;
            const clsColSetOrderGrid record = dialoggrid::RecordFromRow(*grdSearchList, r);
            if (filesearch::IsFileMatchWithFilterPattern(record.filename(), patterns))
                dialog.colSelectedData.append(record);
        }
        if (dialog.colSelectedData.isEmpty()) {
            inform(QStringLiteral("Please select image files only."));
            return;
        }
        dialog.Form_Load();
        Ui().ShowModal(&dialog);
    });
}
