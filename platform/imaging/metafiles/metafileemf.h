#pragma once

// EMF pictures, drawn at 300 dpi on white by our own record player (platform/imaging/
// emfplayer.h), sized by the header's frame.

#include "platform/imaging/metafiles/metafilepage.h"

namespace imaging {

int decodeEmf(const QString& path, const PageSink& sink, QString& error,
              const MetafileLimits& limits = MetafileLimits());

// Bits per pixel of a readable EMF (24, as it is rasterised), or a negative code.
int emfBitsPerPixel(const QString& path);

} // namespace imaging
