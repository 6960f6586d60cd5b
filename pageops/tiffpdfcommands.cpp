#include "pageops/tiffpdfcommands.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/modgeneral.h"
#include "pageops/pageopshelpers.h"
#include "platform/pdfpages/pdfinfo.h"
#include "platform/pdfpages/pdfmerge.h"
#include "platform/pdfpages/pdfsplit.h"
#include "platform/pdfrender/pdftoimage.h"
#include "platform/tiffpages/imagetotiff.h"
#include "platform/tiffpages/tiffpages.h"

#include <QFileInfo>
#include <QSet>

using pageops::check;
using pageops::folderForSource;

namespace {

constexpr QStringView kOwner = u" of Class Module TiffPdfCommands at time";

QString pageSpecification(const QString& range) {
    return range.isEmpty() || range == QLatin1String("0") ? QStringLiteral("0") : range;
}

// The image type of a file name's extension; 0 when none fits.
int imageTypeOf(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"bmp") return pdfrender::kBmp;
    if (ext == u"jpg" || ext == u"jpeg") return pdfrender::kJpeg;
    if (ext == u"png") return pdfrender::kPng;
    if (ext == u"gif") return pdfrender::kGif;
    if (ext == u"tif" || ext == u"tiff") return pdfrender::kMultiTiff;
    if (ext == u"ppm") return pdfrender::kPpm;
    return 0;
}

} // namespace

void TiffPdfCommands::reportProgress(const QString& file) {
    if (progress) progress(FileProccessed, int(colOrderedData.size()), file);
}

bool TiffPdfCommands::ConvertPDFToImage(const QString& strPDF, const QString& strImage, int param) {
    bool ok = false;
    trap(u"ConvertPDFToImage", kOwner, [&] {
        if (strPDF.isEmpty() || strImage.isEmpty()) return;
        const int type = imageTypeOf(strImage);
        if (type == 0) raiseError(5, QStringLiteral("%1: no image type has this extension").arg(strImage));
        pageops::RenderJob job(strPDF);
        DoEvents();
        job.set(pdfrender::kOutputFile, strImage, 0);
        job.set(pdfrender::kImageType, QString(), type);
        job.set(pdfrender::kDpi, QString(), 100);
        job.set(pdfrender::kCompression, QString(), param == 0 ? -1 : param);
        for (int page = 1; page <= job.pageCount(); ++page)
            job.convert(page);
        job.close();
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::ConverImageToTiff(const QString& strInputImage, const QString& strOutputImage,
                                        int nTiffEncoding) {
    bool ok = false;
    trap(u"ConverImageToTiff", kOwner, [&] {
        if (strInputImage.isEmpty() || strOutputImage.isEmpty()) return;
        DoEvents();
        fileio::Failure failure;
        check(tiffpages::convertImageToTiff(strInputImage, strOutputImage, nTiffEncoding, failure), failure);
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::UpdatePdfMetaData(const QString& SrcFile, const QString& Password, const QString& Keys_values,
                                        const QString& OutputFilename) {
    bool ok = false;
    trap(u"UpdatePdfMetaData", kOwner, [&] {
        if (Keys_values.isEmpty()) return;
        fileio::Failure failure;
        check(pdfpages::updatePdfInfo(SrcFile, Password, Keys_values, OutputFilename, failure), failure);
        ok = true;
    });
    return ok;
}

int TiffPdfCommands::GetNoOfPagesFromPDF(const QString& filename, const QString& Password) {
    int pages = -1;
    trap(u"GetNoOfPagesFromPDF", kOwner, [&] {
        fileio::Failure failure;
        const int count = pdfpages::pdfPageCount(filename, Password, failure);
        check(count >= 0, failure);
        pages = count;
    });
    return pages;
}

bool TiffPdfCommands::AppendPdfFile(const QString& SrcFilename, const QString& AppendFilename, const QString& Range,
                                    const QString& SrcTarFilename) {
    bool ok = false;
    trap(u"AppendPdfFile", kOwner, [&] {
        fileio::Failure failure;
        pdfpages::PdfMerge merge;
        check(merge.add(SrcFilename, QStringLiteral("0"), QString(), failure), failure);
        check(merge.add(AppendFilename, pageSpecification(Range), QString(), failure), failure);
        check(merge.write(SrcTarFilename, failure), failure);
        ok = true;
    });
    return ok;
}

QString TiffPdfCommands::GetPdfMetaData(const QString& filename, const QString& Password) {
    QString text = QStringLiteral("False");
    trap(u"GetPdfMetaData", kOwner, [&] {
        fileio::Failure failure;
        QString info;
        check(pdfpages::readPdfInfo(filename, Password, info, failure), failure);
        text = info;
    });
    return text;
}

bool TiffPdfCommands::AppendFileTiffFile(const QString& SrcFile, const QString& AppendFromtiff, int insertAtpageno) {
    bool ok = false;
    trap(u"AppendFileTiffFile", kOwner, [&] {
        if (SrcFile.isEmpty() || AppendFromtiff.isEmpty() || insertAtpageno < 0) return;
        fileio::Failure failure;
        check(tiffpages::insertTiffPages(SrcFile, insertAtpageno, AppendFromtiff, failure), failure);
        DoEvents();
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::DeleteTiffPage(const QString& SrcFile, int DeletePageno) {
    bool ok = false;
    trap(u"DeleteTiffPage", kOwner, [&] {
        fileio::Failure failure;
        check(tiffpages::deleteTiffPage(SrcFile, DeletePageno, failure), failure);
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::CombineOrderPdf() {
    bool ok = false;
    trap(u"CombineOrderPdf", kOwner, [&] {
        if (FileNameToSave.isEmpty()) return;
        FileProccessed = 0;
        fileio::Failure failure;
        pdfpages::PdfMerge merge;
        for (const clsColSetOrderGrid& record : std::as_const(colOrderedData)) {
            const QString path = record.FullPath();
            check(merge.add(path, pageSpecification(record.Range()), QString(), failure), failure);
            DoEvents();
            ++FileProccessed;
            reportProgress(path);
        }
        check(merge.write(FileNameToSave, failure), failure);
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::Convert_EachTiffToPDFx(const QString& OutputPath) {
    bool ok = false;
    trap(u"Convert_EachTiffToPDFx", kOwner, [&] {
        if (OutputPath.isEmpty()) return;
        FileProccessed = 0;
        fileio::OutputSet outputs; // all PDFs or none, put in place together at the end
        QSet<QString> targets;
        for (const clsColSetOrderGrid& record : std::as_const(colOrderedData)) {
            const qsizetype dot = record.filename().indexOf(u'.');
            if (dot < 0) raiseError(5, QStringLiteral("%1: a file name without extension").arg(record.filename()));
            const QString target = modGeneral::ValidateDir(OutputPath) + record.filename().left(dot) + QStringLiteral(".Pdf");
            // Two files named alike up to their first "." would share one PDF, the later
            // one replacing the earlier's.
            if (targets.contains(target))
                raiseError(58, QStringLiteral("%1: %2 is already written by this call").arg(record.FullPath(), target));
            targets.insert(target);
            DoEvents();
            pageops::convertToPdf(record.FullPath(), target, &outputs);
            ++FileProccessed;
        }
        fileio::Failure failure;
        check(outputs.commit(failure), failure);
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::Convert_EachTiffToPDFbyOne(const QString& SrcFilePath, const QString& OutputPath) {
    bool ok = false;
    trap(u"Convert_EachTiffToPDFbyOne", kOwner, [&] {
        if (SrcFilePath.isEmpty() || OutputPath.isEmpty()) return;
        DoEvents();
        pageops::convertToPdf(SrcFilePath, OutputPath);
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::CombineOrderTiff() {
    FileProccessed = 0;
    if (FileNameToSave.isEmpty()) return false;
    // No trap line here: a failure answers False and leaves FileNameToSave as it was.
    bool ok = quietly([&] {
        fileio::Failure failure;
        QStringList inputs;
        for (const clsColSetOrderGrid& record : std::as_const(colOrderedData))
            inputs.append(record.FullPath());
        DoEvents();
        if (inputs.size() == 1) {
            // A merge of one file is that file, once it proves to be a TIFF.
            check(tiffpages::tiffPageCount(inputs.front(), failure) > 0, failure);
            check(tiffpages::copyFileAtomically(inputs.front(), FileNameToSave, failure), failure);
            FileProccessed = 1;
            reportProgress(inputs.front());
        } else {
            check(tiffpages::mergeTiffs(inputs, FileNameToSave, failure,
                                        [&](int done) {
                                            DoEvents();
                                            FileProccessed = done;
                                            reportProgress(inputs.at(done - 1));
                                        }),
                  failure);
        }
    });
    if (ok && progress) progress(0, int(colOrderedData.size()), QString());
    return ok;
}

bool TiffPdfCommands::FileExists(const QString& sFIle) {
    bool found = false;
    quietly([&] {
        const QFileInfo info(sFIle);
        found = !sFIle.isEmpty() && info.isFile() && !info.isHidden();
    });
    return found;
}

bool TiffPdfCommands::SplitPDFFiles(const QString& SourceFilePath, const QString& Range, const QString& OutputFolder,
                                    const QString& filename) {
    bool ok = false;
    trap(u"SplitPDFFiles", kOwner, [&] {
        const QString prefix = modGeneral::ValidateDir(folderForSource(SourceFilePath, OutputFolder)) + filename;
        DoEvents();
        fileio::Failure failure;
        check(pdfpages::splitPdf(SourceFilePath, Range, prefix, QString(), failure), failure);
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::SplitTiffFiles(const QString& SourceFilePath, int PageNo, const QString& OutputFolder,
                                     const QString& filename) {
    bool ok = false;
    trap(u"SplitTiffFiles", kOwner, [&] {
        const QString folder = modGeneral::ValidateDir(folderForSource(SourceFilePath, OutputFolder));
        DoEvents();
        fileio::Failure failure;
        check(tiffpages::splitTiff(SourceFilePath, PageNo, folder + filename + QStringLiteral("1.tif"),
                                   folder + filename + QStringLiteral("2.tif"), failure),
              failure);
        DoEvents();
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::ExtractTIFFpagesbyRange(const QString& strInputTIFF, int iStartPage, int iEndPage,
                                              const QString& StrOutputDir) {
    bool ok = false;
    trap(u"ExtractTIFFpagesbyRange", kOwner, [&] {
        const QString folder = folderForSource(strInputTIFF, StrOutputDir);
        DoEvents();
        fileio::Failure failure;
        check(tiffpages::extractTiffPages(strInputTIFF, iStartPage, iEndPage, folder, failure), failure);
        DoEvents();
        ok = true;
    });
    return ok;
}

bool TiffPdfCommands::ExtractAllTIFFpages(const QString& SourceFilePath, const QString& OutputFolder) {
    bool ok = false;
    trap(u"ExtractAllTIFFpages", kOwner, [&] {
        const QString folder = folderForSource(SourceFilePath, OutputFolder);
        DoEvents();
        fileio::Failure failure;
        check(tiffpages::extractAllTiffPages(SourceFilePath, folder, failure), failure);
        DoEvents();
        ok = true;
    });
    return ok;
}
