#pragma once

// WMF pictures, drawn at 300 dpi on white by ImageMagick's WMF coder (libwmf, with the
// URW base fonts for text).

#include "platform/imaging/otherformats.h"

namespace imaging {

int decodeWmf(const QString& path, const PageSink& sink, QString& error);

// Bits per pixel of a readable WMF (24, as it is rasterised), or a negative code.
int wmfBitsPerPixel(const QString& path);

} // namespace imaging
