// quillmere-bench imagetopdf [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...
// The image-to-PDF dialog as a user runs it: an offscreen dialog over a scratch data folder
// holds one record per FILE; the class boxes of the names given are ticked and those names
// chosen, DIR is the output folder, existing PDFs are replaced, and "&Convert" is clicked.
// A 5 ms timer on the GUI thread measures how long the window ever went without handling
// its events. Prints the failed files, the longest gap, then "converted N failed M seconds S".

#include "bench/benchcommand.h"
#include "bench/convertargs.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "core/uiservices.h"
#include "tools/frmconimagetopdf.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Nothing may wait for a person: messages are printed, questions answered Yes, and the
// error report is shown as its text.
class BenchUi : public UiServices {
public:
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::OK;
    }
    QString BrowseForFolder(QObject*, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QObject*, SaveDialogRequest&) override { return {}; }
    bool PrinterDialog(QObject*) override { return false; }
    int ShowModal(QObject*) override { return 0; }
    // Nothing is launched from a benchmark.
    ShellResult ShellExecute(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    bool OpenWith(const QString&) override { return false; }
};

int usage() {
    std::fprintf(stderr,
                 "usage: quillmere-bench imagetopdf [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...\n");
    return 2;
}

void choose(QCheckBox* box, QComboBox* list, const QString& name) {
    if (name.isEmpty()) return;
    box->click();
    list->setCurrentText(name);
}

int runImageToPdf(const QStringList& args) {
    ConvertArgs a;
    if (!a.parse(args)) return usage();
    const QString &colour = a.colour, &grey = a.grey, &bw = a.bw, &out = a.out;
    const QStringList& files = a.files;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "imagetopdf: the dialog needs a QApplication\n");
        return 2;
    }
    QDir().mkpath(out);

    QTemporaryDir scratch;
    StoragePath = scratch.path() + QStringLiteral("/Brevart Technologies/Quillmere 3.1");
    StoragePathSlash = modGeneral::ValidateDir(StoragePath);
    if (!QDir().mkpath(StoragePath)) return 1;
    BenchUi ui;
    UiServices* previousUi = SetUi(&ui);
    Settings settings;
    AppSettings = &settings;
    settings.LoadDefaultSettings();
    GridColumns columns;
    AppGridColumns = &columns;
    modMasterLayout::AddDefaultGridColumns(columns);
    arrColumnVisibility = settings.ColumnVisibility().split(QLatin1Char(','));

    int converted = 0, failed = 0;
    qint64 elapsed = 0, longestGapNs = 0;
    {
        frmConImageToPdf dialog;
        for (const QString& file : files) {
            const QFileInfo info(file);
            clsColSetOrderGrid record;
            record.setFilename(info.fileName());
            record.setFileLocation(info.absolutePath());
            dialog.colSelectedData.append(record);
        }
        dialog.show();
        choose(dialog.chkEncodColor, dialog.cboEncodTrueColor, colour);
        choose(dialog.chkEncodGraycale, dialog.cboEncodGraycale, grey);
        choose(dialog.chkEncodBW, dialog.cboEncodBW, bw);
        dialog.chkReplace->setChecked(true);
        dialog.txtOutputFolder->setText(QFileInfo(out).absoluteFilePath());

        elapsed = timeWithEventGaps([&] { dialog.cmdConvert->click(); }, longestGapNs);

        converted = dialog.LastRun().converted;
        failed = int(dialog.LastRun().failed.size());
        for (const QString& path : dialog.LastRun().failed)
            std::printf("failed %s\n", qPrintable(path));
        dialog.close();
    }
    AppGridColumns = nullptr;
    AppSettings = nullptr;
    SetUi(previousUi);

    std::printf("longest gap between event pumps ms %.1f\n", double(longestGapNs) / 1e6);
    std::printf("converted %d failed %d seconds %s\n", converted, failed, qPrintable(benchSeconds(elapsed)));
    return failed ? 1 : 0;
}

const BenchCommand command("imagetopdf", "[--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...",
                           &runImageToPdf);

} // namespace
