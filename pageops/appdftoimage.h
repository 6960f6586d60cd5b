#pragma once

#include <QString>
#include <functional>

// The pages of a PDF as image files in a folder named after the PDF.
class ApPdfToImage {
public:
    // After each page with the percentage done (rounded half to even), 100 and the PDF's file
    // name; at the end with (0, 100, "").
    using Progress = std::function<void(int percent, int total, const QString& file)>;

    // Optional.
    Progress progress;

    // Pages 1..iPageAmount of SrcFilePath into StrOutputDir/<PDF name without extension>/ as
    // <Prefix><k>.<ext>, or, for ImgType 7, into one multi-page TIFF in StrOutputDir.
    // ImgType: 1 BMP, 2 JPEG, 3 PNG, 4 GIF, 5 TIFF, 6 PPM, 7 multi-page TIFF. False for ""
    // or a document that cannot be opened; a failing page stops the call, which then
    // answers False with none of its images written and every file that was there kept.
    bool ConvertPDFToImage(const QString& SrcFilePath, const QString& StrOutputDir, int iPageAmount,
                           const QString& Prefix, int ImgType);
};
