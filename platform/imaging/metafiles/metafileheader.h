#pragma once

// The picture size an EMF file declares, read from its header, so the page can be sized
// (and refused when too large) before anything is drawn; and the resolution metafiles are
// drawn at (WMF headers are read in platform/imaging/metafiles/wmfrecords.h).

#include <QIODevice>
#include <QRectF>
#include <QString>

namespace imaging {

// Metafiles are drawn at this resolution onto a white page; a picture whose page would pass
// kMetafileMaxPixels (about an A3 page) or kMetafileMaxSide on a side is drawn at a lower
// one. Its detail lives in its records, not in the size it declares, and a few bytes may
// declare a poster. The side limit keeps a thin strip's page within what a page may be
// (a 15 x 250,000 pixel page once took half a minute for one ellipse).
constexpr double kMetafileDpi = 300.0;
constexpr double kMetafileMaxPixels = 24e6;
constexpr double kMetafileMaxSide = 16384;

struct EmfHeader {
    QRect bounds;      // device units, inclusive
    QRect frame;       // hundredths of a millimetre, inclusive
    QSize device;      // reference device in pixels
    QSize millimetres; // reference device in millimetres
    int handles = 0;   // objects the records use, the picture itself included

    // The picture in millimetres: the frame, or the bounds when the frame is empty.
    QSizeF sizeMm() const;
    // Where the picture (frame) lies in the drawing's device units.
    QRectF frameInDevice() const;
};

// Answers ApOk, or ApCorrupt with `error` set.
int readEmfHeader(QIODevice& device, EmfHeader& header, QString& error);

// Pixels of a side of `mm` millimetres at `dpi` (at least 1).
int64_t metafilePixels(double mm, double dpi = kMetafileDpi);
// The resolution a picture of `widthMm` x `heightMm` is drawn at.
double metafileDpi(double widthMm, double heightMm);

} // namespace imaging
