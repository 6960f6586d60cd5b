#pragma once

// Looks into the PDFs the library writes: structure through QPDF, pixels through
// poppler's pdfimages and pdftocairo.

#include "tests/imaging/fixtures.h"

#include <QImage>
#include <QString>
#include <map>
#include <string>
#include <vector>

namespace probe {

struct ImageInfo {
    bool present = false;
    std::string filter;                       // "/FlateDecode", "" when none
    std::map<std::string, std::string> parms; // "/Predictor" -> "15"
    std::string colourSpace;                  // unparsed, streams shown as their kind
    int width = 0, height = 0, bpc = 0;
    std::string decode; // unparsed /Decode or ""
    QByteArray raw;     // the stream's bytes as stored
    QByteArray decoded; // decoded by QPDF (lossless filters but CCITT), else empty
};

struct PageInfo {
    double mediaBox[4] = {};
    std::string content;
    int rotate = 0;
    ImageInfo image;
    ImageInfo softMask;
};

struct PdfInfo {
    bool ok = false;
    std::string version;
    std::vector<PageInfo> pages;
};

PdfInfo inspect(const QString& pdfPath);

// Page `page` (1-based): every image pdfimages extracts, as PNG, in order (image, mask).
std::vector<QImage> extractImages(const QString& pdfPath, int page);

// The page rendered by pdftocairo at `dpi`.
QImage render(const QString& pdfPath, int page, double dpi);

// `image` sampled as `channels` x `bits` (1-bit by threshold).
fx::Image fromQImage(const QImage& image, int channels, int bits);

// Peak signal-to-noise ratio of two 8-bit images of the same shape, in dB.
double psnr(const fx::Image& a, const fx::Image& b);

// True when `qpdf --check` finds nothing wrong.
bool qpdfCheck(const QString& pdfPath, QString* output = nullptr);

} // namespace probe
