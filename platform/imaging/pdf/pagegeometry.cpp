#include "platform/imaging/pdf/pagegeometry.h"

#include <algorithm>

namespace imaging {

namespace {

bool usable(double dpi) {
    return dpi >= kMinDpi && dpi <= kMaxDpi;
}

} // namespace

PagePlacement placeImage(int pixelsWide, int pixelsHigh, double dpiX, double dpiY, int orientation) {
    if (!usable(dpiX)) dpiX = usable(dpiY) ? dpiY : kDefaultDpi;
    if (!usable(dpiY)) dpiY = dpiX;
    // Extent of the stored image in points.
    double w = pixelsWide * 72.0 / dpiX;
    double h = pixelsHigh * 72.0 / dpiY;
    const double largest = std::max(w, h);
    if (largest > kMaxSidePt) {
        w *= kMaxSidePt / largest;
        h *= kMaxSidePt / largest;
    }
    w = std::max(w, kMinSidePt);
    h = std::max(h, kMinSidePt);

    PagePlacement p;
    const bool swapped = orientation >= 5 && orientation <= 8;
    p.width = swapped ? h : w;
    p.height = swapped ? w : h;
    const double W = p.width, H = p.height;
    // Image space (u, v) has v = 1 at the stored top row; the page point is
    // (a u + c v + e, b u + d v + f).
    const double m[9][6] = {
        {W, 0, 0, H, 0, 0},   // 0: unknown, as 1
        {W, 0, 0, H, 0, 0},   // 1: as stored
        {-W, 0, 0, H, W, 0},  // 2: mirrored left-right
        {-W, 0, 0, -H, W, H}, // 3: turned 180 degrees
        {W, 0, 0, -H, 0, H},  // 4: mirrored top-bottom
        {0, -H, -W, 0, W, H}, // 5: first row on the left, first column on top
        {0, -H, W, 0, 0, H},  // 6: first row on the right, first column on top
        {0, H, W, 0, 0, 0},   // 7: first row on the right, first column at the bottom
        {0, H, -W, 0, W, 0},  // 8: first row on the left, first column at the bottom
    };
    const int o = orientation >= 1 && orientation <= 8 ? orientation : 0;
    std::copy(m[o], m[o] + 6, p.matrix);
    return p;
}

} // namespace imaging
