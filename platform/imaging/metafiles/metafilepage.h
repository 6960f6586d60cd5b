#pragma once

// The page a metafile is drawn on: white, at the resolution chosen for its size, then kept
// in the smallest model its pixels need, as pages decoded by ImageMagick are.

#include "platform/imaging/formats/otherformats.h"

#include <QImage>
#include <QSizeF>
#include <functional>

namespace imaging {

// Work a metafile's drawing may ask for, in pixels drawn (records and points count too):
// about a hundred times the largest page. A picture asking for more is refused.
struct MetafileLimits {
    qint64 work = qint64(2500) << 20;
};

// A record larger than this (a bitmap of more than about 20 million pixels) is refused.
constexpr qint64 kMetafileMaxRecordBytes = qint64(64) << 20;

// Draws a picture whose frame is `sizeMm` on a white page at the resolution chosen for its
// size, with `draw` (given the page and its dpi; ApOk, or a code with its error), and hands the
// page to `sink`. A picture whose page at full resolution is over the limits is refused, as is
// any drawing outside a GUI application (text needs Qt's fonts); `kind` ("WMF", "EMF") names
// the format in those errors. Font sizes in points are pixels of the page.
int drawMetafile(const char* kind, QSizeF sizeMm,
                 const std::function<int(QImage&, double dpi, QString&)>& draw, const PageSink& sink,
                 QString& error);

} // namespace imaging
