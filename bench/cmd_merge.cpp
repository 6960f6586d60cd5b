// quillmere-bench merge OUT.pdf FILE...
// One MergeConvert_TiffToPdfx over the files in the order given, as the set-order dialog
// does. Prints "merged N pages P seconds S" (N 0 and a "failed" line when it failed).

#include "bench/benchcommand.h"
#include "pageops/apimgtopdf.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {

int runMerge(const QStringList& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: quillmere-bench merge OUT.pdf FILE...\n");
        return 2;
    }
    ApImgToPdf engine;
    engine.FileNameToSave = QFileInfo(args.front()).absoluteFilePath();
    for (const QString& file : args.mid(1)) {
        const QFileInfo info(file);
        clsColSetOrderGrid record;
        record.setFileLocation(info.absolutePath());
        record.setFilename(info.fileName());
        engine.colOrderedData.append(record);
    }
    QElapsedTimer timer;
    timer.start();
    const bool ok = engine.MergeConvert_TiffToPdfx();
    const qint64 elapsed = timer.nsecsElapsed();
    int pages = 0;
    if (ok)
        pages = makePdfPageCounter()->CountPages(engine.FileNameToSave);
    else
        std::printf("failed: %s\n", qPrintable(imaging::ApLastError()));
    std::printf("merged %d pages %d seconds %s\n", ok ? int(engine.colOrderedData.size()) : 0, pages,
                qPrintable(benchSeconds(elapsed)));
    return ok ? 0 : 1;
}

const BenchCommand command("merge", "OUT.pdf FILE...", &runMerge);

} // namespace
