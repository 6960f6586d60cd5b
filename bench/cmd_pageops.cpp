// quillmere-bench pageops merge OUT.pdf FILE... | split SRC.pdf OUTDIR | tiffmerge OUT.tif FILE...
//                         | render SRC.pdf OUTDIR [--dpi N] | totiff IN OUT.tif [--compression N]
// Runs one method of the page operations library and prints "pages N seconds S" last
// (N 0 and a "failed" line before it when the method answered False, naming the error log
// in the user's data folder, where the methods log their failures as the program does).
// split writes OUTDIR/<SRC name>/pageNNN.pdf, render OUTDIR/<SRC name>/pageNNN.png. totiff
// converts one image (any format the converter reads) with ConverImageToTiff, N as its
// nTiffEncoding.

#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/storagefolder.h"
#include "pageops/appdftoimage.h"
#include "pageops/tiffpdfcommands.h"
#include "platform/pdfrender/pdftoimage.h"
#include "platform/tiffpages/tiffpages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {

int usage() {
    std::fprintf(stderr, "usage: quillmere-bench pageops merge OUT.pdf FILE... | split SRC.pdf OUTDIR |"
                         " tiffmerge OUT.tif FILE... | render SRC.pdf OUTDIR [--dpi N] |"
                         " totiff IN OUT.tif [--compression N]\n");
    return 2;
}

clsColSetOrderGridList records(const QStringList& files) {
    clsColSetOrderGridList list;
    for (const QString& file : files) {
        const QFileInfo info(file);
        clsColSetOrderGrid record;
        record.setFileLocation(info.absolutePath());
        record.setFilename(info.fileName());
        list.append(record);
    }
    return list;
}

// The same page loop as ApPdfToImage, at another resolution than its 150 dpi.
bool renderAt(const QString& pdf, const QString& outDir, int dpi, int pages) {
    const int handle = pdfrender::apOpen(pdf);
    if (handle < 1) return false;
    const QString folder = QDir(outDir).filePath(QFileInfo(pdf).completeBaseName());
    bool ok = QDir().mkpath(folder) && pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, folder, 0) == 0 &&
              pdfrender::apSetProperty(handle, pdfrender::kPrefix, QStringLiteral("page"), 0) == 0 &&
              pdfrender::apSetProperty(handle, pdfrender::kImageType, QString(), pdfrender::kPng) == 0 &&
              pdfrender::apSetProperty(handle, pdfrender::kDpi, QString(), dpi) == 0;
    for (int page = 1; ok && page <= pages; ++page)
        ok = pdfrender::apConvertPage(handle, page) == 0;
    if (!ok) {
        pdfrender::apDiscard(handle);
        return false;
    }
    return pdfrender::apClose(handle) == 0;
}

// totiff IN OUT.tif [--compression N]: the written TIFF's pages are counted after the clock stops.
int runToTiff(const QStringList& args) {
    int compression = 0;
    if (args.size() == 5 && args.at(3) == u"--compression") {
        bool number = false;
        compression = args.at(4).toInt(&number);
        if (!number) return usage();
    } else if (args.size() != 3) {
        return usage();
    }
    TiffPdfCommands commands;
    QElapsedTimer timer;
    timer.start();
    bool ok = commands.ConverImageToTiff(args.at(1), args.at(2), compression);
    const qint64 elapsed = timer.nsecsElapsed();
    int pages = 0;
    if (ok) {
        fileio::Failure failure;
        pages = tiffpages::tiffPageCount(args.at(2), failure);
    }
    if (!ok) std::printf("failed (see the error log %s)\n", qPrintable(StoragePathSlash + QStringLiteral("Errors.Log")));
    std::printf("pages %d seconds %s\n", pages, qPrintable(benchSeconds(elapsed)));
    return ok ? 0 : 1;
}

int runPageops(const QStringList& args) {
    if (args.size() < 3) return usage();
    const QString op = args.at(0);
    PrintingUi ui;
    SetUi(&ui);
    if (!modMasterLayout::GetStorageFolder()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    StoragePathSlash = modGeneral::ValidateDir(StoragePath);
    if (op == u"totiff") return runToTiff(args);
    TiffPdfCommands commands;
    // Split and render need the page count first; it is not part of the time.
    int pages = op == u"split" || op == u"render" ? commands.GetNoOfPagesFromPDF(args.at(1), QString()) : 0;
    if (op == u"split" || op == u"render") QDir().mkpath(args.at(2));
    bool ok = false;
    QElapsedTimer timer;
    timer.start();
    if (op == u"merge") {
        commands.FileNameToSave = QFileInfo(args.at(1)).absoluteFilePath();
        commands.colOrderedData = records(args.mid(2));
        ok = commands.CombineOrderPdf();
        if (ok) pages = commands.GetNoOfPagesFromPDF(commands.FileNameToSave, QString());
    } else if (op == u"split") {
        ok = pages > 0 && commands.SplitPDFFiles(args.at(1), QString(), args.at(2), QStringLiteral("page"));
    } else if (op == u"tiffmerge") {
        commands.FileNameToSave = QFileInfo(args.at(1)).absoluteFilePath();
        commands.colOrderedData = records(args.mid(2));
        ok = commands.CombineOrderTiff();
        fileio::Failure failure;
        if (ok) pages = tiffpages::tiffPageCount(commands.FileNameToSave, failure);
    } else if (op == u"render") {
        int dpi = 150;
        if (args.size() >= 5 && args.at(3) == u"--dpi") dpi = args.at(4).toInt();
        else if (args.size() != 3) return usage();
        if (dpi == 150) {
            ApPdfToImage render;
            ok = pages > 0 && render.ConvertPDFToImage(args.at(1), args.at(2), pages, QStringLiteral("page"), 3);
        } else {
            ok = pages > 0 && dpi > 0 && renderAt(args.at(1), args.at(2), dpi, pages);
        }
    } else {
        return usage();
    }
    const qint64 elapsed = timer.nsecsElapsed();
    if (!ok) {
        std::printf("failed (see the error log %s)\n", qPrintable(StoragePathSlash + QStringLiteral("Errors.Log")));
        pages = 0;
    }
    std::printf("pages %d seconds %s\n", pages, qPrintable(benchSeconds(elapsed)));
    return ok ? 0 : 1;
}

const BenchCommand command("pageops",
                           "merge OUT.pdf FILE... | split SRC.pdf OUTDIR | tiffmerge OUT.tif FILE... | "
                           "render SRC.pdf OUTDIR [--dpi N] | totiff IN OUT.tif [--compression N]",
                           &runPageops);

} // namespace
