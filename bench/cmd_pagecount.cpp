// quillmere-bench pagecount FILE...
// The page count of each file as the Pages column gets it (PDF counter for .pdf, TIFF
// counter otherwise). Prints "path<TAB>count" per file, then "counted N seconds S".

#include "bench/benchcommand.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "platform/imaging/pagecount/tiffpagecounter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {

int runPageCount(const QStringList& files) {
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: quillmere-bench pagecount FILE...\n");
        return 2;
    }
    const auto pdf = makePdfPageCounter();
    const auto tiff = makeTiffPageCounter();
    QElapsedTimer timer;
    timer.start();
    QList<int> counts;
    for (const QString& file : files) {
        const bool isPdf = QFileInfo(file).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
        counts << (isPdf ? pdf : tiff)->CountPages(file);
    }
    const qint64 elapsed = timer.nsecsElapsed();
    for (int i = 0; i < files.size(); ++i)
        std::printf("%s\t%d\n", qPrintable(files[i]), counts[i]);
    std::printf("counted %d seconds %s\n", int(files.size()), qPrintable(benchSeconds(elapsed)));
    return 0;
}

const BenchCommand command("pagecount", "FILE...", &runPageCount);

} // namespace
