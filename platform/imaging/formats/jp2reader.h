#pragma once

// JPEG 2000 (JP2 files and bare J2K codestreams), decoded with OpenJPEG and encoded like
// any other page, so the compression names apply and every reader can show the result.

#include "platform/imaging/encoders/compression.h"
#include "platform/imaging/encoders/encodedimage.h"
#include "platform/imaging/formats/raster.h"

#include <QString>
#include <vector>

namespace imaging {

class StreamStore;

// The image's pixels: up to 8 bits per component become 8, more become 16; sYCC becomes RGB,
// subsampled components are repeated, a component past the colours is alpha. The size and
// tile limits are checked before anything is allocated. Answers ApOk or an ApCode.
int decodeJp2(const QString& path, bool codestream, RasterPage& page, QString& error);

// Answers 1 (page added to `pages`) or an ApCode.
int readJp2Page(const QString& path, bool codestream, const CompressionChoice& choice, StreamStore& store,
                std::vector<EncodedPage>& pages, QString& error);

// Sum of the components' precisions (24 for 8-bit RGB).
int jp2BitsPerPixel(const QString& path, bool codestream, QString& error);

// Capture (else display) resolution from the JP2 header boxes, in dots per inch.
void jp2Resolution(const uint8_t* data, size_t size, double& dpiX, double& dpiY);

} // namespace imaging
