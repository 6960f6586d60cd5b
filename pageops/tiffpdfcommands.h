#pragma once

#include "core/clscolsetordergrid.h"
#include "pageops/apimgtopdf.h"

#include <QString>
#include <functional>

// Page operations on PDF and TIFF files for programs: merge an ordered list, append, split,
// insert, delete and extract TIFF pages, convert between images, TIFF and PDF, read and
// write PDF information, count PDF pages.
//
// Pages are numbered from 1. Every output is written whole or not at all, and an operation
// that writes several files leaves all of them or none. Any failing step answers False
// (GetNoOfPagesFromPDF -1, GetPdfMetaData "False") and, except for FileExists and
// CombineOrderTiff, writes one line to the error log.
class TiffPdfCommands {
public:
    // Called after each file of CombineOrderPdf and CombineOrderTiff with the files done, the
    // list's length and the file; CombineOrderTiff ends with (0, total, "").
    using Progress = std::function<void(int done, int total, const QString& file)>;

    // Held for callers; no operation here uses it.
    ::ApImgToPdf ApImgToPdf;
    // Records handled by the current list operation.
    int FileProccessed = 0;
    // The ordered file list of the list operations; they never change it.
    clsColSetOrderGridList colOrderedData;
    // Output of CombineOrderPdf and CombineOrderTiff.
    QString FileNameToSave;
    // Optional.
    Progress progress;

    // Every page of strPDF at 100 dpi into strImage, its type taken from its extension (.bmp,
    // .jpg/.jpeg, .png, .gif, .ppm; .tif/.tiff holds all pages in one file). A one-page PDF
    // gives strImage itself; more pages give <name><k>.<ext> beside it, k zero-padded.
    // `param` is the TIFF Compression value of a TIFF output (0: G4 for 1 bit, LZW otherwise).
    bool ConvertPDFToImage(const QString& strPDF, const QString& strImage, int param);
    // nTiffEncoding: a TIFF Compression value (1, 3, 4, 5, 7, 8, 32773; 0 G4 for 1-bit
    // pages, LZW otherwise) that must fit every page.
    bool ConverImageToTiff(const QString& strInputImage, const QString& strOutputImage, int nTiffEncoding);
    // Keys_values: "Key=Value" lines; an empty value removes the key. OutputFilename may be SrcFile.
    bool UpdatePdfMetaData(const QString& SrcFile, const QString& Password, const QString& Keys_values,
                           const QString& OutputFilename);
    int GetNoOfPagesFromPDF(const QString& filename, const QString& Password);
    // SrcTarFilename = every page of SrcFilename, then the Range of AppendFilename ("" all).
    bool AppendPdfFile(const QString& SrcFilename, const QString& AppendFilename, const QString& Range,
                       const QString& SrcTarFilename);
    // "Key=Value" lines joined by CR LF, keys sorted.
    QString GetPdfMetaData(const QString& filename, const QString& Password);
    // The pages of AppendFromtiff after the first insertAtpageno pages of SrcFile.
    bool AppendFileTiffFile(const QString& SrcFile, const QString& AppendFromtiff, int insertAtpageno);
    bool DeleteTiffPage(const QString& SrcFile, int DeletePageno);
    // All or nothing; each record contributes its Range ("0" or "" for all pages).
    bool CombineOrderPdf();
    // One PDF per record, named after the part of its name before the first "." plus ".Pdf";
    // two records that would share a PDF fail the call.
    bool Convert_EachTiffToPDFx(const QString& OutputPath);
    bool Convert_EachTiffToPDFbyOne(const QString& SrcFilePath, const QString& OutputPath);
    // Every page of every record, in order; one record is copied as it is.
    bool CombineOrderTiff();
    // An existing file that a folder listing shows (not hidden, not a folder).
    bool FileExists(const QString& sFIle);
    // Into OutputFolder/<source name>/: one file per page, or per item of Range.
    bool SplitPDFFiles(const QString& SourceFilePath, const QString& Range, const QString& OutputFolder,
                       const QString& filename);
    // OutputFolder/<source name>/<filename>1.tif gets pages 1..PageNo, ...2.tif the rest.
    bool SplitTiffFiles(const QString& SourceFilePath, int PageNo, const QString& OutputFolder,
                        const QString& filename);
    // Pages iStartPage..iEndPage into StrOutputDir/<source name>/<source name>_<k>.tif.
    bool ExtractTIFFpagesbyRange(const QString& strInputTIFF, int iStartPage, int iEndPage,
                                 const QString& StrOutputDir);
    bool ExtractAllTIFFpages(const QString& SourceFilePath, const QString& OutputFolder);

private:
    void reportProgress(const QString& file);
};
