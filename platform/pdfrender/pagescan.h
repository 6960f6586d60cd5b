#pragma once

// What drawing a page will make poppler hold, read from the page's content before it is drawn.
//
// Poppler's Splash backend scales every image to its whole size on the device before it draws
// any of it, whatever part of the page is being rendered: an 8 x 8 image stretched over 20,000
// points takes 1.6 GB at 72 dpi. Its QPainter backend samples the image through a transform
// instead, holding the image at its own size. The scan finds the largest image each way, in the
// page, its form XObjects, tiling patterns, Type 3 glyphs, soft masks and annotation
// appearances, and how many transparency groups are open at once (each holds a band-sized
// bitmap), so that the renderer can choose a backend and a band that fit.

#include <QSize>
#include <QString>

class QPDFObjectHandle;

namespace pdfrender {

struct PageDemand {
    // Bytes of the largest image as Splash scales it on the device.
    double scaledBytes = 0;
    // Bytes of the largest image as the QPainter backend holds it: its pixels and its mask's.
    double sourceBytes = 0;
    // Bytes a decoder holds of one image whole (a progressive JPEG, JPEG 2000, JBIG2).
    double decoderBytes = 0;
    // Most transparency groups and soft masks in effect at once.
    int groups = 0;
    // The image behind scaledBytes: device pixels it covers, and its own size.
    QSize largestDrawn;
    QSize largestSource;
    // Set when the page cannot be drawn within bounds whatever the backend (an image claiming
    // more samples than any page holds, content too large or too deeply nested to check).
    QString refusal;
};

// Reads `page` (a page dictionary of an open QPDF) for a rendering at `dpi`. Throws nothing: a
// damaged object reads as absent, a structure that cannot be read sets `refusal`.
PageDemand scanPage(QPDFObjectHandle page, int dpi);

} // namespace pdfrender
