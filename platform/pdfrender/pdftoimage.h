#pragma once

// PDF pages into image files over poppler: open a document, set where and how the images
// go, convert pages one by one, close. Handles are small positive integers.
//
// Files are named <folder>/<prefix><k>.<ext>, k the page number zero-padded to the digits of
// the document's page count; a multi-page TIFF is one file <folder>/<prefix>.tif (the PDF's
// name when the prefix is empty). Every file goes through the atomic writer and waits out of
// place until close puts them all in place together; a discard drops them, so a failure
// changes no file that was there.
//
// A page is rendered in bands and its file written as the rows come; what the page draws is
// read first (PageDemand), so that an image poppler's Splash backend would scale far past the
// page is drawn by its QPainter backend instead, and bands shrink where a large image or
// nested transparency needs room: a page stays under 400 MB. Pages over 32,766 pixels a side
// or 2^28 pixels in all are refused, as are GIF pages over 20 million pixels (GIF alone is
// written whole), pages drawing an image that claims over 2^30 samples or that fits no budget
// either way, and pages whose structure QPDF cannot read.

#include "platform/fileio/outputset.h"

#include <QString>

namespace pdfrender {

// Answers of apOpen below 1.
enum OpenError { kMissing = -1, kNotPdf = -2, kNeedsPassword = -3, kBadArgument = -4 };

// Values of kImageType.
enum ImageType { kBmp = 1, kJpeg = 2, kPng = 3, kGif = 4, kTiff = 5, kPpm = 6, kMultiTiff = 7 };

// Property numbers of apSetProperty.
enum Property {
    kOutputFolder = 1, // text
    kPrefix = 2,       // text
    kDpi = 3,          // value, default 150
    kImageType = 5,    // 1 BMP, 2 JPEG (quality 75), 3 PNG, 4 GIF, 5 TIFF, 6 PPM, 7 multi-page TIFF
    kBitsPerPixel = 6, // 1 (50% threshold), 8 (grey) or 24 (colour, the default)
    kMultiPage = 10,   // 1: TIFF pages go into one file (type 7 always does)
    kCompression = 11, // TIFF Compression value; -1 (the default): G4 for 1 bit, LZW otherwise
    kOutputFile = 12,  // text: the one file of a multi-page TIFF or of a one-page document;
                       // other pages are named <its name><k>.<its extension> beside it
};

// A handle >= 1, or an OpenError. The user password opens an encrypted document.
int apOpen(const QString& path, const QString& userPassword = QString(), const QString& ownerPassword = QString());

// 0, or -4 for a bad handle, property or value.
int apSetProperty(int handle, int property, const QString& text, int value);

// Renders page `page` (from 1) and writes its image, which waits out of place until the
// handle is closed. 0, or a negative answer with the cause in apLastFailure(); a caller giving
// up discards the handle, which drops its outputs.
int apConvertPage(int handle, int page);

// The document's page count, or -4 for a bad handle.
int apPageCount(int handle);

// Finishes (a multi-page TIFF), puts every image of the handle in place, all or none, and
// releases the handle. 0 or negative.
int apClose(int handle);

// Releases the handle and drops every image it wrote: no target changes.
void apDiscard(int handle);

// The most recent failure of any call.
fileio::Failure apLastFailure();

} // namespace pdfrender
