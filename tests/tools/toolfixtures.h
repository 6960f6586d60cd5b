#pragma once

// Inputs for the engine tests, written with Qt and libtiff, and a look into the PDFs the
// engine writes through QPDF.

#include <QString>
#include <string>
#include <vector>

namespace toolfx {

// 1-bit TIFF, uncompressed, one strip.
bool writeBilevelTiff(const QString& path, int width, int height);
// 8-bit greyscale TIFF, uncompressed, `pages` pages.
bool writeGreyTiff(const QString& path, int width, int height, int pages);
// 8-bit greyscale PNG.
bool writeGreyPng(const QString& path, int width, int height);
// Colour JPEG (24 bits).
bool writeColourJpeg(const QString& path, int width, int height);
// PNG with alpha (32 bits).
bool writeRgbaPng(const QString& path, int width, int height);
// BMP with a 16-colour palette (4 bits; Qt writes every palette as 8 bits).
bool writePaletteBmp(const QString& path, int width, int height);

struct PdfPage {
    double width = 0;  // points
    double height = 0;
    std::string filter; // of the page's image, e.g. "/FlateDecode"
};
// The pages of a PDF; empty when it cannot be read.
std::vector<PdfPage> readPdf(const QString& path);

} // namespace toolfx
