#pragma once

// WMF pictures, drawn at 300 dpi on white by our own record player (platform/imaging/
// wmfplayer.h), sized by the placeable header or the window the records set.

#include "platform/imaging/metafiles/metafilepage.h"

namespace imaging {

int decodeWmf(const QString& path, const PageSink& sink, QString& error,
              const MetafileLimits& limits = MetafileLimits());

// Bits per pixel of a readable WMF (24, as it is rasterised), or a negative code.
int wmfBitsPerPixel(const QString& path);

} // namespace imaging
