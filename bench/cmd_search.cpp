// quillmere-bench search ROOT [--subfolders] [--filter N] [--pages]
// The folder search as a user runs it: an offscreen main window made the way start-up
// makes it, over a scratch data folder (the user's settings are never touched), the
// options set on its controls and ROOT chosen in its folder tree, which starts the search.
// --filter takes a filter list index (0 "Image files", the default); the "Pages" column
// is hidden, so nothing is counted, unless --pages. The time runs from the choice in the
// tree until the grid has been drawn once. Prints "rows N seconds S" last.

#include "app/icontheme.h"
#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/doevents.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/frmmain.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "platform/imaging/pagecount/tiffpagecounter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int usage() {
    std::fprintf(stderr, "usage: quillmere-bench search ROOT [--subfolders] [--filter N] [--pages]\n");
    return 2;
}

int runSearch(const QStringList& args) {
    QString root;
    bool subfolders = false, pages = false;
    int filter = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--subfolders"))
            subfolders = true;
        else if (args[i] == QLatin1String("--pages"))
            pages = true;
        else if (args[i] == QLatin1String("--filter") && i + 1 < args.size())
            filter = args[++i].toInt(&ok);
        else if (!args[i].startsWith(QLatin1Char('-')) && root.isEmpty())
            root = QFileInfo(args[i]).canonicalFilePath();
        else
            ok = false;
        if (!ok) return usage();
    }
    if (root.isEmpty() || filter < 0 || filter > 10) return usage();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "search: the main window needs a QApplication\n");
        return 2;
    }

    BenchProcess process(pages);
    if (!process.ok()) return 1;
    const int pagesColumn = modGeneral::GetColumnIndexByKey(QStringLiteral("Pages"));

    QPointer<frmMain> window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    DoEvents();
    window->chkSearchSubFolder->setChecked(subfolders);
    window->cboFilterPattern->setCurrentIndex(filter);

    QElapsedTimer clock;
    clock.start();
    window->ftvFolder->SetSelectedFolder(root);
    DoEvents();
    const qint64 elapsed = clock.nsecsElapsed();

    const FlexGrid* grid = window->grdSearchList;
    const int rows = grid->Rows() - 1;
    int counted = 0;
    for (int r = 1; r <= rows; ++r)
        counted += grid->TextMatrix(r, pagesColumn).isEmpty() ? 0 : 1;

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    if (pages) std::printf("page-counted %d\n", counted);
    std::printf("rows %d seconds %s\n", rows, qPrintable(benchSeconds(elapsed)));
    return 0;
}

const BenchCommand command("search", "ROOT [--subfolders] [--filter N] [--pages]", &runSearch);

} // namespace
