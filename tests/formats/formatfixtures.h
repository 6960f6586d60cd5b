#pragma once

// Images made by the tests: a known picture (`Picture`) written in each of the formats
// that go through ImageMagick or the metafile renderers, by hand where the header has to
// be exact and through Magick++ where its writer is trustworthy.

#include "platform/imaging/formats/raster.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <vector>

namespace Magick {
class Image;
}

namespace fixtures {

using Rgb = std::array<uint8_t, 3>;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;    // row-major, top row first
    std::vector<uint8_t> alpha; // empty: opaque

    Rgb at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    std::vector<Rgb> colours() const; // distinct colours in first-seen order
};

// Six colours in vertical stripes and a band; odd sizes so rows need padding.
Picture colourPicture(int width = 37, int height = 23);
// A grey ramp (r = g = b) across the width.
Picture greyPicture(int width = 37, int height = 23);
// Black and white only.
Picture bilevelPicture(int width = 37, int height = 23);
// The colour picture with alpha rising from left to right.
Picture withAlpha(Picture picture);

// Written by ImageMagick in `magick`; `tweak` runs on the image before it is written.
QByteArray magickWrite(const Picture& picture, const char* magick,
                       const std::function<void(Magick::Image&)>& tweak = {});
// Several pictures as the frames of one file (GIF animation).
QByteArray magickWriteFrames(const std::vector<Picture>& pictures, const char* magick);

// BMP by hand: bits 1, 4, 8 (palette), 16 (5-5-5), 24, or 32 (V4 header with alpha mask
// when the picture has alpha). `dpi` 0 writes no resolution.
QByteArray bmp(const Picture& picture, int bits, double dpi = 0);
// PNM by hand: kind '1'..'7'; maxval 255 or 65535 (P7 writes RGB_ALPHA when alpha).
QByteArray pnm(const Picture& picture, char kind, int maxval = 255);
// A 1-bit PCX by hand (ImageMagick writes every PCX with 8-bit planes).
QByteArray pcx1(const Picture& picture, int dpi);
// An indexed PSD by hand (ImageMagick cannot read back the ones it writes).
QByteArray psdIndexed(const Picture& picture);
// An RGB PSD with alpha by hand, its composite matted against white as Photoshop stores
// it (ImageMagick writes it unmatted, then un-mattes it when reading).
QByteArray psdWithAlpha(const Picture& picture);
// TGA by hand (ImageMagick writes the top row first while its header says bottom-up):
// `type` 1 colour-mapped (8-bit indices, 24-bit map), 2 true colour (24 bits, or 32 with
// alpha when the picture has alpha), 3 grey (8 bits); `rle` packs runs; the origin bits
// place the first stored row at the bottom unless `topDown`, mirrored when `rightToLeft`.
QByteArray tga(const Picture& picture, int type, bool rle, bool topDown, bool rightToLeft = false);
// DCX from whole PCX files, in page order.
QByteArray dcx(const std::vector<QByteArray>& pcxPages);
// ICO entries: a bitmap entry of `bits` (8 with a palette, or 32 BGRA) or a PNG entry.
struct IcoEntry {
    Picture picture;
    int bits = 32;
    bool png = false;
};
QByteArray ico(const std::vector<IcoEntry>& entries);

// Metafiles, records written by hand: a red square on the left half and a blue ellipse on the
// right half of a `widthInches` x `heightInches` picture; `anisotropic` draws in
// hundredths of a millimetre through a window/viewport mapping instead of device units.
// A WMF draws in twips, sized by its placeable header, or by its window alone.
QByteArray emf(double widthInches, double heightInches, bool anisotropic = false);
// An EMF record of `type` with its parameters, and a picture holding `records` (then its end)
// over a reference device of ten pixels a millimetre.
QByteArray emfRecord(uint32_t type, const QByteArray& params);
QByteArray emfRecord(uint32_t type, std::initializer_list<int32_t> params);
QByteArray emfPicture(double widthInches, double heightInches, const QByteArray& records);
// A 4 x 4-inch EMF drawn with most kinds of record (see the code): a world transform, a path,
// a bitmap, clipping, an extended pen, text, a polypolygon, alpha blending and a gradient.
QByteArray emfSampler();
QByteArray wmf(double widthInches, double heightInches, bool withText = false, bool placeable = true);
// A 4 x 4-inch WMF drawn with most kinds of record (see its rows in the code): shapes, fills,
// clipping, saved states, text, bitmaps.
QByteArray wmfSampler();

// A picture's pixel as the page holds it, in RGB (CMYK naively converted).
Rgb pagePixel(const imaging::RasterPage& page, int x, int y);

QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& data);

} // namespace fixtures
