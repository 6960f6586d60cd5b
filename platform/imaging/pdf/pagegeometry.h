#pragma once

// Where an image goes on its page: the page size from the pixel count and resolution, and
// the matrix that draws the stored pixels upright for an EXIF/TIFF orientation.

namespace imaging {

constexpr double kDefaultDpi = 96.0;
constexpr double kMinDpi = 20.0;
constexpr double kMaxDpi = 20000.0;
constexpr double kMinSidePt = 3.0;
constexpr double kMaxSidePt = 14400.0;

struct PagePlacement {
    double width = 0; // page size in points, as displayed
    double height = 0;
    double matrix[6] = {1, 0, 0, 1, 0, 0}; // maps the image's unit square onto the page
};

// A resolution outside 20..20,000 counts as missing; a missing one takes the other axis's,
// or 96. A page larger than 14,400 pt is scaled down keeping its proportions; a side below
// 3 pt is raised to 3 pt. Orientations 5 to 8 swap the page's sides.
PagePlacement placeImage(int pixelsWide, int pixelsHigh, double dpiX, double dpiY, int orientation);

} // namespace imaging
