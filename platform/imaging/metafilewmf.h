#pragma once

// WMF pictures, drawn at 300 dpi on white by our own record player (platform/imaging/
// wmfplayer.h) with Qt's painter, sized by the placeable header or the window the records
// set.

#include "platform/imaging/otherformats.h"

namespace imaging {

struct WmfLimits {
    // Work the drawing may ask for, in pixels drawn (records and points count too): about a
    // hundred times the largest page. A picture asking for more is refused.
    qint64 work = qint64(2500) << 20;
};

int decodeWmf(const QString& path, const PageSink& sink, QString& error,
              const WmfLimits& limits = WmfLimits());

// Bits per pixel of a readable WMF (24, as it is rasterised), or a negative code.
int wmfBitsPerPixel(const QString& path);

} // namespace imaging
