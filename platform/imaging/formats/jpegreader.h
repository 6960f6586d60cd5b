#pragma once

// JPEG files: passed through as DCTDecode whenever the chosen compression allows it
// (only the markers are read), decoded and re-encoded otherwise.

#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/encoders/encodedimage.h"

#include <QString>
#include <vector>

namespace imaging {

class StreamStore;
struct ExaminedSource;

// Answers 1 (pages added to `pages`) or an ApCode. `source` holds the file's bytes; a page
// that is decoded lets go of them before it is encoded.
int readJpegPage(ExaminedSource& source, const CompressionChoice& choice, StreamStore& store,
                 std::vector<EncodedPage>& pages, QString& error);

// 8, 24 or 32 by component count, from the file or from its bytes already read.
int jpegBitsPerPixel(const QString& path, QString& error);
int jpegBitsPerPixel(const uint8_t* data, size_t size, const QString& path, QString& error);

} // namespace imaging
