#pragma once

// One rendered page as an image file of the chosen type and depth.

#include "platform/fileio/outputset.h"
#include "platform/pdfrender/pdftoimage.h"

#include <QImage>
#include <QString>

namespace tiffpages {
class TiffOutput;
}

namespace pdfrender {

// "bmp", "jpg", "png", "gif", "tif", "ppm"; "" for an unknown type.
QString extensionOf(int type);

// The page at 24, 8 or 1 bits per pixel (1: black below half brightness).
QImage withDepth(const QImage& rendered, int bitsPerPixel);

// Writes `image` (from withDepth) to `target` as `type` (not a multi-page TIFF); with
// `outputs` the file waits there, out of place, for the others of its call.
bool writePageImage(const QImage& image, int type, int tiffCompression, double dpi, const QString& target,
                    fileio::Failure& failure, fileio::OutputSet* outputs = nullptr);

// Adds `image` as the next page of a TIFF.
bool addTiffPage(tiffpages::TiffOutput& out, const QImage& image, int tiffCompression, double dpi,
                 const QString& source, int number, fileio::Failure& failure);

} // namespace pdfrender
