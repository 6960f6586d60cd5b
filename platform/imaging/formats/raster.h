#pragma once

// The decoded form of one image page, shared by the library's own decoders and the
// decoders of the "other" formats (ImageMagick, EMF/WMF). Sample values follow the
// PDF colour spaces: DeviceGray 0 = black, DeviceRGB, DeviceCMYK (0 = no ink).

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace imaging {

// Formats recognised by content.
enum class ImageFormat {
    Unknown, Tiff, Jpeg, Jp2, J2k, Gif, Png, Psd, Bmp, Dcx, Pcx, Ico, Pnm, Pcd, Emf, Wmf, Tga, Pdf
};

enum class ColourModel { Gray, RGB, CMYK, Indexed };

struct RasterPage {
    int width = 0;
    int height = 0;
    ColourModel model = ColourModel::Gray;
    int bitsPerComponent = 8;         // 1, 2, 4, 8 or 16 (16 big-endian, as PDF wants it)
    std::vector<uint8_t> pixels;      // rows top to bottom, each padded to a whole byte
    std::vector<uint8_t> palette;     // Indexed: RGB triples, at most 2^bitsPerComponent entries
    std::vector<uint8_t> alpha;       // empty, or one 8-bit value per pixel (width*height)
    double dpiX = 0;                  // 0 = unknown
    double dpiY = 0;
    QByteArray icc;                   // embedded ICC profile, empty when none
    int storedBitsPerPixel = 0;       // depth as the file stores it (answer of code 211)

    int components() const {
        switch (model) {
        case ColourModel::Gray: return 1;
        case ColourModel::RGB: return 3;
        case ColourModel::CMYK: return 4;
        case ColourModel::Indexed: return 1;
        }
        return 1;
    }
    size_t rowBytes() const {
        return (static_cast<size_t>(width) * components() * bitsPerComponent + 7) / 8;
    }
};

// Library result codes.
enum ApCode {
    ApOk = 0,
    ApBadArgument = -1,
    ApCannotRead = -2,
    ApUnsupported = -3,
    ApCorrupt = -4,
    ApOverLimits = -5,
    ApNoPage = -6,
    ApCannotWrite = -7,
    ApEncrypted = -8,
    ApDiskFull = -9, // the PDF could not be written: no space left (or over a size limit)
};

// Limits every decoder honours before allocating.
constexpr int64_t kMaxSide = int64_t(1) << 20;
constexpr int64_t kMaxDecodedBytes = int64_t(2) << 30;

} // namespace imaging
