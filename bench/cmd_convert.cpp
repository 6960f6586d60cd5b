// quillmere-bench convert [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...
// One ConverImageToPdf per file into DIR/<base name>.pdf, as the image-to-PDF dialog does.
// Prints one line per failed file, then "converted N failed M seconds S".

#include "bench/benchcommand.h"
#include "bench/convertargs.h"
#include "pageops/apimgtopdf.h"
#include "platform/imaging/imagetopdf.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {

int runConvert(const QStringList& args) {
    ConvertArgs a;
    if (!a.parse(args)) {
        std::fprintf(stderr, "usage: quillmere-bench convert [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...\n");
        return 2;
    }
    // The names are looked up once, as the dialog's lists hold their entries.
    const auto compression = imaging::CompressionChoice::fromNames(a.colour, a.grey, a.bw);
    const QString& out = a.out;
    const QStringList& files = a.files;
    QDir().mkpath(out);
    ApImgToPdf engine;
    int converted = 0, failed = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QString& file : files) {
        const QString target = QDir(out).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".pdf"));
        if (engine.ConverImageToPdf(file, target, compression)) {
            ++converted;
        } else {
            ++failed;
            std::printf("failed %s: %s\n", qPrintable(file), qPrintable(imaging::ApLastError()));
        }
    }
    const qint64 elapsed = timer.nsecsElapsed();
    std::printf("converted %d failed %d seconds %s\n", converted, failed, qPrintable(benchSeconds(elapsed)));
    return failed ? 1 : 0;
}

const BenchCommand command("convert", "[--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...", &runConvert);

} // namespace
