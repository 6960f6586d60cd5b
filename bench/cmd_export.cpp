// quillmere-bench export ROOT OUT
// The export of checked rows as a user runs it: an offscreen main window lists every file
// under ROOT (subfolders included, all file types), every row is checked, and the export
// writes them to OUT through the export dialog, answered at once. The time is the export's
// own: the copy of the rows, the columns left out and the file written, the dialog's time
// taken off. Prints "rows N seconds S" last.

#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/doevents.h"
#include "gui/widgets/flexgrid.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/dlgsave.h"
#include "mainwindow/frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <cstdio>

namespace {

int runExport(const QStringList& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillmere-bench export ROOT OUT\n");
        return 2;
    }
    const QString root = QFileInfo(args[0]).canonicalFilePath();
    const QFileInfo out(args[1]);
    const QString outFolder = QFileInfo(out.absolutePath()).canonicalFilePath();
    if (root.isEmpty() || outFolder.isEmpty()) {
        std::fprintf(stderr, "export: ROOT and the folder of OUT must exist\n");
        return 2;
    }
    BenchProcess process(false);
    if (!process.ok()) return 1;

    QPointer<frmMain> window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    DoEvents();
    window->chkSearchSubFolder->setChecked(true);
    window->cboFilterPattern->addItem(QStringLiteral("*"));
    window->cboFilterPattern->setCurrentIndex(window->cboFilterPattern->count() - 1);
    window->ftvFolder->SetSelectedFolder(root);
    DoEvents();
    window->CheckAllRows();

    qint64 dialogNs = 0;
    process.ui.onShowModal = [&](QObject* d) {
        QElapsedTimer inDialog;
        inDialog.start();
        auto* dialog = qobject_cast<dlgSave*>(d);
        if (!dialog) return 0;
        dialog->ftvFolder->SetSelectedFolder(outFolder);
        dialog->txtFileName->setText(out.fileName());
        dialog->cmdSave_Click();
        dialogNs = inDialog.nsecsElapsed();
        return 1;
    };
    QElapsedTimer clock;
    clock.start();
    const bool done = window->ExportCheckedRows(window->grdSearchList);
    const qint64 elapsed = clock.nsecsElapsed() - dialogNs;
    const int rows = window->grdSearchList->Rows() - 1;
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!done) return 1;
    std::printf("rows %d seconds %s\n", rows, qPrintable(benchSeconds(elapsed)));
    return 0;
}

const BenchCommand command("export", "ROOT OUT", &runExport);

} // namespace
