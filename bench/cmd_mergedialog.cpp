// quillmere-bench mergedialog OUT.pdf FILE...
// The set-order-and-merge dialog as a user runs it: an offscreen dialog over a scratch data
// folder holds one record per FILE in the order given, SetOrderForm points at it as the main
// window's hand-off does, the name and folder boxes take OUT.pdf's name and folder (an
// existing OUT.pdf is replaced), and "Con&vert" is clicked. A 5 ms timer on the GUI thread
// measures how long the window ever went without handling its events.
// Prints the longest gap, the peak memory, then "pages N seconds S" (N 0 when it failed).

#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/globals.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "tools/frmsetorder_mcontiff.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <sys/resource.h>

namespace {

// The bench's own file may be there from an earlier run: "replace it?" is answered Yes.
class ReplacingUi : public PrintingUi {
public:
    QString lastMessage;
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override {
        lastMessage = text;
        const MsgAnswer answer = PrintingUi::MsgBox(text, buttons, icon, title);
        return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : answer;
    }
};

int runMergeDialog(const QStringList& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: quillmere-bench mergedialog OUT.pdf FILE...\n");
        return 2;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "mergedialog: the dialog needs a QApplication\n");
        return 2;
    }
    BenchProcess process(true);
    if (!process.ok()) return 1;
    ReplacingUi ui;
    UiServices* previousUi = SetUi(&ui);
    const QFileInfo target(args.front());

    qint64 elapsed = 0, longestGapNs = 0;
    {
        frmSetOrder_MConTiff dialog;
        for (const QString& file : args.mid(1)) {
            const QFileInfo info(file);
            clsColSetOrderGrid record;
            record.setFilename(info.fileName());
            record.setFileLocation(info.absolutePath());
            dialog.colSelectedData.append(record);
        }
        SetOrderForm = &dialog;
        dialog.CommandAction = 3;
        dialog.show();
        dialog.txtmanualfilename->setText(target.fileName());
        dialog.txtOutputFolder->setText(target.absolutePath());
        QCoreApplication::processEvents(); // painted before the click, as a user sees it

        elapsed = timeWithEventGaps([&] { dialog.cmdOK->click(); }, longestGapNs);
        SetOrderForm = nullptr;
    }
    SetUi(previousUi);

    // The dialog writes "OUT.pdf" as its name up to the last "." plus ".pdf": the same file.
    const QString merged = target.absolutePath() + QLatin1Char('/') + target.completeBaseName() + QStringLiteral(".pdf");
    const bool mergedOk = ui.lastMessage == QLatin1String("Successfully Converted tiff files to pdf.");
    const int pages = mergedOk ? std::max(makePdfPageCounter()->CountPages(merged), 0) : 0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("longest gap between event pumps ms %.1f\n", double(longestGapNs) / 1e6);
    std::printf("peak memory MB %.1f\n", double(usage.ru_maxrss) / 1024);
    std::printf("pages %d seconds %s\n", pages, qPrintable(benchSeconds(elapsed)));
    return pages > 0 ? 0 : 1;
}

const BenchCommand command("mergedialog", "OUT.pdf FILE...", &runMergeDialog);

} // namespace
