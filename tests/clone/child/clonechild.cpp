// clone_child DATA SOURCE OUTPUT SAVE_FACTOR KILL
// Runs a fresh clone job through the dialog (Replace off) and kills itself with SIGKILL at
// the point KILL names: "write:N" just before the N-th write of the job's files would be
// committed, "STEP:N" right after the N-th step of that kind of the pass (placed, record,
// synced, claimed, checkpoint); "none" never. Before it dies it prints "decided D": the
// entries whose status was recorded by then (the pass visits them in order). A job that
// lives to its end prints how many of each it met: "write W placed P record R ...".

#include "core/globals.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "jobs/clonepass.h"
#include "tests/support/fakeuiservices.h"
#include "tools/frmclonedirectory.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <csignal>
#include <cstdio>
#include <map>

using clonejob::ClonePass;

namespace {

int decided = 0;

[[noreturn]] void die() {
    std::printf("decided %d\n", decided);
    std::fflush(stdout);
    std::raise(SIGKILL);
    std::abort();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 6) return 2;
    StoragePath = QString::fromLocal8Bit(argv[1]);
    const QStringList kill = QString::fromLocal8Bit(argv[5]).split(QLatin1Char(':'));
    const QString kind = kill.value(0);
    const int at = kill.value(1).toInt();
    FakeUiServices ui; // every question answered No: a fresh job
    SetUi(&ui);
    Settings settings;
    settings.LoadDefaultSettings();
    AppSettings = &settings;
    modMasterLayout::FillFilterPatterns();

    std::map<QString, int> met;
    clonejob::CloneJobFiles::setSaveHook([&](clonejob::CloneJobFiles::SavedFile) {
        if (++met[QStringLiteral("write")] == at && kind == QLatin1String("write")) die();
    });
    const std::pair<ClonePass::Step, const char*> names[] = {{ClonePass::Step::PdfPlaced, "placed"},
                                                             {ClonePass::Step::RecordAppended, "record"},
                                                             {ClonePass::Step::Synced, "synced"},
                                                             {ClonePass::Step::Claimed, "claimed"},
                                                             {ClonePass::Step::Checkpoint, "checkpoint"}};
    ClonePass::setStepHook([&](ClonePass::Step step, int entry) {
        if (step == ClonePass::Step::RecordAppended) decided = entry + 1;
        for (const auto& [s, name] : names)
            if (s == step && ++met[QString::fromLatin1(name)] == at && kind == QLatin1String(name)) die();
    });
    frmCloneDirectory dialog;
    dialog.txtCloningFrom->setText(QString::fromLocal8Bit(argv[2]));
    dialog.txtoutputFld->setText(QString::fromLocal8Bit(argv[3]));
    dialog.chkReplace->setChecked(false);
    dialog.SaveFactor = std::atof(argv[4]);
    dialog.cmdOk_Click();
    for (const auto& [name, count] : met)
        std::printf("%s %d ", qPrintable(name), count);
    std::printf("\n");
    return 0;
}
