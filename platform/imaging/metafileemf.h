#pragma once

// EMF pictures: libemf2svg turns the records into SVG, QSvgRenderer draws that onto a
// white page at 300 dpi, sized by the header's frame.

#include "platform/imaging/otherformats.h"

namespace imaging {

int decodeEmf(const QString& path, const PageSink& sink, QString& error);

// Bits per pixel of a readable EMF (24, as it is rasterised), or a negative code.
int emfBitsPerPixel(const QString& path);

} // namespace imaging
