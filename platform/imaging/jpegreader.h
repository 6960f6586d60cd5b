#pragma once

// JPEG files: passed through as DCTDecode whenever the chosen compression allows it
// (only the markers are read), decoded and re-encoded otherwise.

#include "platform/imaging/compression.h"
#include "platform/imaging/encodedimage.h"

#include <QString>
#include <vector>

namespace imaging {

class StreamStore;

// Answers 1 (pages added to `pages`) or an ApCode.
int readJpegPage(const QString& path, const CompressionChoice& choice, StreamStore& store,
                 std::vector<EncodedPage>& pages, QString& error);

// 8, 24 or 32 by component count.
int jpegBitsPerPixel(const QString& path, QString& error);

} // namespace imaging
