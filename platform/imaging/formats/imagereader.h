#pragma once

// One entry point over all the image readers: the pages of a file, encoded for the
// document, and the depth of its first page.

#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/formats/raster.h"

#include <QString>
#include <vector>

namespace imaging {

class StreamStore;
struct ExaminedSource;

// Every page of the examined image (not a PDF). Answers the number of pages, or an ApCode;
// on failure `pages` must be dropped.
int readImagePages(ExaminedSource& source, const CompressionChoice& choice, StreamStore& store,
                   std::vector<EncodedPage>& pages, QString& error);
// The same for the image at `path`, examined here (recognised as `format`).
int readImagePages(const QString& path, ImageFormat format, const CompressionChoice& choice,
                   StreamStore& store, std::vector<EncodedPage>& pages, QString& error);

// Bits per pixel of the first page as stored; 0 for a PDF; an ApCode when unreadable.
int imageBitsPerPixel(const QString& path, QString& error);

} // namespace imaging
