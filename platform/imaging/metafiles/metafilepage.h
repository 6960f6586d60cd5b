#pragma once

// The page a metafile is drawn on: white, at the resolution chosen for its size, then kept
// in the smallest model its pixels need, as pages decoded by ImageMagick are.

#include "platform/imaging/formats/otherformats.h"

#include <QImage>
#include <functional>

namespace imaging {

// Work a metafile's drawing may ask for, in pixels drawn (records and points count too):
// about a hundred times the largest page. A picture asking for more is refused.
struct MetafileLimits {
    qint64 work = qint64(2500) << 20;
};

// A record larger than this (a bitmap of more than about 20 million pixels) is refused.
constexpr qint64 kMetafileMaxRecordBytes = qint64(64) << 20;

// Draws a page of `width` x `height` pixels at `dpi` with `draw` (ApOk, or a code with its
// error), and hands it to `sink`. Font sizes in points are pixels of the page.
int drawMetafilePage(int width, int height, double dpi, const std::function<int(QImage&, QString&)>& draw,
                     const PageSink& sink, QString& error);

} // namespace imaging
