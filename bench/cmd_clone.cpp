// quillmere-bench clone SRC OUT [--names C,G,B] [--replace] [--resume] [--stop-after N]
// The folder-clone job as a user runs it: the real dialog, offscreen, over the data folder
// of XDG_DATA_HOME, so a run that was killed can be resumed by the next call. The dialog
// opens with SRC and OUT in its boxes; --names sets the colour, greyscale and black-and-
// white compressions (an empty name leaves its class unticked); --resume answers Yes to
// the offer to resume a stored job, otherwise No and "&Start" runs a fresh job;
// --stop-after N presses "Sto&p" once N entries are visited.
// QM_BENCH_CLONE_CONVERTER=none replaces the conversion by a no-op, to measure the job's
// own bookkeeping over many files.
// Prints what the run cost (the pass's bookkeeping: its journal, claims and checkpoints;
// the batch syncs of the PDFs and how long the pass waited for them), then
// "entries N converted C seconds S saves K" last: entries visited by the pass, PDFs made,
// seconds from the dialog's opening to the end of the run, writes of the list.

#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "core/storagefolder.h"
#include "core/uiservices.h"
#include "pageops/apimgtopdf.h"
#include "tools/frmclonedirectory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

namespace {

// The shared printing UI, with the one answer the command line chose for the resume offer.
class ResumeUi : public PrintingUi {
public:
    bool resume = false;
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override {
        const MsgAnswer printed = PrintingUi::MsgBox(text, buttons, icon, title);
        return buttons == MsgButtons::YesNo ? (resume ? MsgAnswer::Yes : MsgAnswer::No) : printed;
    }
};

int usage() {
    std::fprintf(stderr,
                 "usage: quillmere-bench clone SRC OUT [--names C,G,B] [--replace] [--resume] [--stop-after N]\n");
    return 2;
}

// Ticks a class and picks its compression; false when the list has no such name.
bool chooseName(QCheckBox* box, QComboBox* list, const QString& name) {
    if (name.isEmpty()) return true;
    const int at = list->findText(name);
    if (at < 0) return false;
    box->setChecked(true);
    list->setCurrentIndex(at);
    return true;
}

int runClone(const QStringList& args) {
    QStringList folders, names;
    bool replace = false;
    ResumeUi ui;
    int stopAfter = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--names") && i + 1 < args.size())
            names = args[++i].split(QLatin1Char(','));
        else if (a == QLatin1String("--replace"))
            replace = true;
        else if (a == QLatin1String("--resume"))
            ui.resume = true;
        else if (a == QLatin1String("--stop-after") && i + 1 < args.size())
            stopAfter = args[++i].toInt();
        else if (a.startsWith(QLatin1String("--")))
            return usage();
        else
            folders << a;
    }
    if (folders.size() != 2 || names.size() > 3) return usage();
    while (names.size() < 3)
        names << QString();

    SetUi(&ui);
    if (!modMasterLayout::GetStorageFolder()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    Settings settings;
    if (!settings.LoadSettings()) settings.LoadDefaultSettings();
    AppSettings = &settings;
    modMasterLayout::FillFilterPatterns();

    frmCloneDirectory dialog;
    dialog.txtCloningFrom->setText(folders[0]);
    dialog.txtoutputFld->setText(folders[1]);
    dialog.chkReplace->setChecked(replace);
    if (!chooseName(dialog.chkEncodColor, dialog.cboEncodTrueColor, names[0]) ||
        !chooseName(dialog.chkEncodGraycale, dialog.cboEncodGraycale, names[1]) ||
        !chooseName(dialog.chkEncodBW, dialog.cboEncodBW, names[2])) {
        std::fprintf(stderr, "unknown compression name in %s\n", qPrintable(names.join(QLatin1Char(','))));
        return 2;
    }
    if (qgetenv("QM_BENCH_CLONE_CONVERTER") == "none")
        dialog.Converter = [](const QString&, const QString&, const QString&, const QString&, const QString&,
                              bool, bool) { return true; };
    if (stopAfter > 0) {
        // A pump after every entry, so the stop comes exactly there.
        dialog.PumpIntervalMs = 0;
        dialog.PumpHook = [&] {
            if (dialog.FilesCompleted >= stopAfter && dialog.IsRunning() && !dialog.StopRequested)
                dialog.cmdOk->click();
        };
    }

    // As convert does, the libraries are set up before the clock starts.
    ApImgToPdf().LastFailure();
    QElapsedTimer timer;
    timer.start();
    dialog.show();
    // Opening offers the resume of a stored job; when nothing ran, the user presses Start.
    dialog.Form_Activate();
    if (!dialog.LastRun().ran) dialog.cmdOk->click();
    const qint64 elapsed = timer.nsecsElapsed();

    const auto& run = dialog.LastRun();
    const auto& files = dialog.JobFiles().stats();
    std::printf("listed %d scan seconds %s\n", run.listed, qPrintable(benchSeconds(run.scanNanoseconds)));
    std::printf("pass seconds %s visited %d converted %d%s\n", qPrintable(benchSeconds(run.passNanoseconds)),
                run.pass.visited, run.pass.converted, run.pass.failed ? " failed" : "");
    const auto& pass = run.passWrites;
    // The job's own bookkeeping: its files (the journal's records and syncs, checkpoints) and
    // the look at the targets each claim makes.
    const qint64 bookkeeping = pass.nanoseconds + run.pass.claimNanoseconds;
    const double share =
        run.passNanoseconds > 0 ? 100.0 * double(bookkeeping) / double(run.passNanoseconds) : 0;
    std::printf("pass list saves %d record writes %d bytes written %lld bookkeeping seconds %s (%.1f%% of "
                "the pass)\n",
                pass.listSaves, pass.recordWrites, static_cast<long long>(pass.bytesWritten),
                qPrintable(benchSeconds(bookkeeping)), share);
    std::printf("pass's own save time %s\n", qPrintable(benchSeconds(run.pass.saveNanoseconds)));
    std::printf("pass journal records %d syncs %d claims %d (looking at targets %s s) batch syncs %d waited for "
                "the disk %s s\n",
                pass.journalRecords, pass.syncs, run.pass.claims, qPrintable(benchSeconds(run.pass.claimNanoseconds)),
                run.pass.batchSyncs, qPrintable(benchSeconds(run.pass.syncWaitNanoseconds)));
    std::printf("all list saves %d record writes %d bytes written %lld seconds %s\n", files.listSaves,
                files.recordWrites, static_cast<long long>(files.bytesWritten),
                qPrintable(benchSeconds(files.nanoseconds)));
    std::printf("%s\n", qPrintable(dialog.Frame3->title()));
    std::printf("entries %d converted %d seconds %s saves %d\n", run.pass.visited, run.pass.converted,
                qPrintable(benchSeconds(elapsed)), files.listSaves);
    dialog.close();
    AppSettings = nullptr;
    return run.ran ? 0 : 1;
}

const BenchCommand command("clone", "SRC OUT [--names C,G,B] [--replace] [--resume] [--stop-after N]", &runClone);

} // namespace
