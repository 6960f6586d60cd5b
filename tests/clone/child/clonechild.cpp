// clone_child DATA SOURCE OUTPUT KILL_AT
// Runs a fresh clone job through the dialog (replace on, a save after every entry) and
// kills itself with SIGKILL just before the KILL_AT-th write of the job's files would be
// committed (0: never). Prints how many writes the job made when it lives to its end.

#include "core/globals.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "tests/support/fakeuiservices.h"
#include "tools/frmclonedirectory.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5) return 2;
    StoragePath = QString::fromLocal8Bit(argv[1]);
    const int killAt = std::atoi(argv[4]);
    FakeUiServices ui; // every question answered No: a fresh job
    SetUi(&ui);
    Settings settings;
    settings.LoadDefaultSettings();
    AppSettings = &settings;
    modMasterLayout::FillFilterPatterns();

    int writes = 0;
    clonejob::CloneJobFiles::setSaveHook([&](bool) {
        if (++writes == killAt) std::raise(SIGKILL);
    });
    frmCloneDirectory dialog;
    dialog.txtCloningFrom->setText(QString::fromLocal8Bit(argv[2]));
    dialog.txtoutputFld->setText(QString::fromLocal8Bit(argv[3]));
    dialog.chkReplace->setChecked(true);
    dialog.SaveFactor = 0;
    dialog.cmdOk_Click();
    std::printf("%d\n", writes);
    return 0;
}
