// quillmere-bench convert [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...
// One ConverImageToPdf per file into DIR/<base name>.pdf, as the image-to-PDF dialog does.
// Prints one line per failed file, then "converted N failed M seconds S".

#include "bench/benchcommand.h"
#include "platform/imaging/imagetopdf.h"
#include "tools/apimgtopdf.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {

int runConvert(const QStringList& args) {
    QString colour, grey, bw, out;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--colour") && hasValue)
            colour = args[++i];
        else if (a == QLatin1String("--grey") && hasValue)
            grey = args[++i];
        else if (a == QLatin1String("--bw") && hasValue)
            bw = args[++i];
        else if (a == QLatin1String("--out") && hasValue)
            out = args[++i];
        else
            files << a;
    }
    if (out.isEmpty() || files.isEmpty()) {
        std::fprintf(stderr, "usage: quillmere-bench convert [--colour NAME] [--grey NAME] [--bw NAME] --out DIR FILE...\n");
        return 2;
    }
    QDir().mkpath(out);
    ApImgToPdf engine;
    int converted = 0, failed = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QString& file : files) {
        const QString target = QDir(out).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".pdf"));
        if (engine.ConverImageToPdf(file, target, colour, grey, bw)) {
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
