// Times the folder search without a window: the same walk, filter, criteria and row building
// the main window runs, the rows kept in memory instead of a grid. Not a pass/fail check.
// "quillmere-bench search" runs the search through the main window itself.
//
//   search_bench ROOT [--subfolders] [--filter N|PATTERNS] [--pages] [--no-pump]
//
// --filter takes a filter list index (0 = "Image files", the default) or a pattern text
// such as "*.pdf". --pages counts TIFF and PDF pages as a search with the "Pages" column
// shown does. The last line is "rows N seconds S".
#include "core/doevents.h"
#include "core/globals.h"
#include "core/startuptables.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "platform/imaging/pagecount/tiffpagecounter.h"
#include "platform/shell/filetypes.h"
#include "search/filerowcollector.h"
#include "search/filesearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <malloc.h>

using namespace filesearch;

namespace {

// Heap in use, large blocks (which malloc maps separately) included.
size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

int usage() {
    std::fprintf(stderr, "usage: search ROOT [--subfolders] [--filter N|PATTERNS] [--pages] [--no-pump]\n");
    return 2;
}

// Needs a QCoreApplication.
int runSearchBench(const QStringList& args) {
    QString root;
    bool subfolders = false, pages = false, pump = true;
    QString filter = QStringLiteral("0");
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--subfolders"))
            subfolders = true;
        else if (args[i] == QLatin1String("--pages"))
            pages = true;
        else if (args[i] == QLatin1String("--no-pump"))
            pump = false;
        else if (args[i] == QLatin1String("--filter") && i + 1 < args.size())
            filter = args[++i];
        else if (!args[i].startsWith(QLatin1Char('-')) && root.isEmpty())
            root = args[i];
        else
            return usage();
    }
    if (root.isEmpty()) return usage();

    modMasterLayout::FillFilterPatterns();
    bool isIndex = false;
    const int index = filter.toInt(&isIndex);
    SearchOptions options;
    options.subfolders = subfolders;
    options.patterns =
        isIndex ? PatternsForFilter(index, FilterPatterns.at(size_t(index))) : PatternsForFilter(-1, filter);

    const std::unique_ptr<PageCounter> tiff = makeTiffPageCounter();
    const std::unique_ptr<PageCounter> pdf = makePdfPageCounter();
    platform::FileTypes types;
    FileRowBuilder builder(types);
    builder.setPageCounting(pages, tiff.get(), pdf.get());
    FileRowCollector rows(builder);

    const size_t heapBefore = heapInUse();
    QElapsedTimer clock;
    clock.start();
    FolderSearch search(options, rows);
    if (pump) search.setPump(DoEvents);
    search.LoadFiles(root);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const size_t heapAfter = heapInUse();

    int counted = 0;
    for (const FileRow& r : rows.rows())
        counted += r.pages.isEmpty() ? 0 : 1;
    const size_t n = rows.rows().size();
    std::printf("heap %.1f MB for the rows (%.0f bytes a row)\n", double(heapAfter - heapBefore) / 1048576.0,
                n ? double(heapAfter - heapBefore) / double(n) : 0.0);
    if (pages) std::printf("page-counted %d\n", counted);
    std::printf("rows %zu seconds %.3f\n", n, seconds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return runSearchBench(app.arguments().mid(1));
}
