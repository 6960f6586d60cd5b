#include "platform/imaging/formats/magickraster.h"

#include <Magick++.h>
#include <algorithm>
#include <unordered_map>

namespace imaging {

namespace {

// Rows exported per call, so the temporary buffers stay small for big pages.
constexpr size_t kBandRows = 256;

template <class Fill>
void forEachBand(size_t height, Fill&& fill) {
    for (size_t y = 0; y < height; y += kBandRows)
        fill(y, std::min(kBandRows, height - y));
}

void putBigEndian(const std::vector<uint16_t>& samples, uint8_t* out) {
    for (size_t i = 0; i < samples.size(); ++i) {
        out[2 * i] = uint8_t(samples[i] >> 8);
        out[2 * i + 1] = uint8_t(samples[i]);
    }
}

// Exports `map` channels at 8 or 16 bits straight into the page's rows.
void exportSamples(Magick::Image& image, const char* map, int channels, bool sixteen, RasterPage& page) {
    const size_t w = image.columns();
    const size_t rowBytes = page.rowBytes();
    if (!sixteen) {
        image.write(0, 0, w, image.rows(), map, MagickCore::CharPixel, page.pixels.data());
        return;
    }
    std::vector<uint16_t> band;
    forEachBand(image.rows(), [&](size_t y, size_t rows) {
        band.resize(w * rows * size_t(channels));
        image.write(0, ssize_t(y), w, rows, map, MagickCore::ShortPixel, band.data());
        putBigEndian(band, page.pixels.data() + y * rowBytes);
    });
}

void exportBilevel(Magick::Image& image, RasterPage& page) {
    const size_t w = image.columns();
    const size_t rowBytes = page.rowBytes();
    std::vector<uint8_t> band;
    forEachBand(image.rows(), [&](size_t y, size_t rows) {
        band.resize(w * rows);
        image.write(0, ssize_t(y), w, rows, "R", MagickCore::CharPixel, band.data());
        for (size_t r = 0; r < rows; ++r) {
            uint8_t* out = page.pixels.data() + (y + r) * rowBytes;
            const uint8_t* in = band.data() + r * w;
            for (size_t x = 0; x < w; ++x) {
                if (in[x] >= 128) // white is 1 in DeviceGray
                    out[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    });
}

// Rebuilds the palette from the pixels (ImageMagick may have merged or reordered the
// file's table); false when the pixels hold more colours than the index bits allow.
bool exportIndexed(Magick::Image& image, int indexBits, RasterPage& page) {
    const size_t w = image.columns();
    const size_t rowBytes = page.rowBytes();
    const size_t maxColours = size_t(1) << indexBits;
    std::unordered_map<uint32_t, uint8_t> index;
    std::vector<uint8_t> band;
    bool fits = true;
    forEachBand(image.rows(), [&](size_t y, size_t rows) {
        if (!fits)
            return;
        band.resize(w * rows * 3);
        image.write(0, ssize_t(y), w, rows, "RGB", MagickCore::CharPixel, band.data());
        uint32_t lastColour = UINT32_MAX;
        uint8_t lastIndex = 0;
        for (size_t r = 0; r < rows && fits; ++r) {
            uint8_t* out = page.pixels.data() + (y + r) * rowBytes;
            const uint8_t* in = band.data() + r * w * 3;
            for (size_t x = 0; x < w; ++x) {
                const uint32_t c = uint32_t(in[3 * x]) << 16 | uint32_t(in[3 * x + 1]) << 8 | in[3 * x + 2];
                if (c != lastColour) {
                    auto it = index.find(c);
                    if (it == index.end()) {
                        if (index.size() == maxColours) {
                            fits = false;
                            break;
                        }
                        it = index.emplace(c, uint8_t(index.size())).first;
                        page.palette.insert(page.palette.end(), {in[3 * x], in[3 * x + 1], in[3 * x + 2]});
                    }
                    lastColour = c;
                    lastIndex = it->second;
                }
                const size_t bit = x * size_t(indexBits);
                out[bit >> 3] |= uint8_t(lastIndex << (8 - indexBits - (bit & 7)));
            }
        }
    });
    return fits;
}

bool iccMatches(const Magick::Blob& icc, ColourModel model) {
    if (icc.length() < 20)
        return false;
    const auto* data = static_cast<const char*>(icc.data());
    const std::string space(data + 16, 4);
    switch (model) {
    case ColourModel::Gray: return space == "GRAY";
    case ColourModel::RGB:
    case ColourModel::Indexed: return space == "RGB ";
    case ColourModel::CMYK: return space == "CMYK";
    }
    return false;
}

double toDpi(double value, MagickCore::ResolutionType units) {
    switch (units) {
    case MagickCore::PixelsPerInchResolution: return value;
    case MagickCore::PixelsPerCentimeterResolution: return value * 2.54;
    default: return 0; // the file did not say; the library applies its default
    }
}

void startPage(RasterPage& page, size_t width, size_t height, ColourModel model, int bits) {
    page.model = model;
    page.bitsPerComponent = bits;
    page.width = int(width);
    page.height = int(height);
    page.palette.clear();
    page.pixels.assign(page.rowBytes() * height, 0);
}

} // namespace

int magickToRaster(Magick::Image& image, const MagickHeader& header, RasterPage& page, QString& error) {
    const size_t w = image.columns();
    const size_t h = image.rows();
    if (w == 0 || h == 0) {
        error = QStringLiteral("image without pixels");
        return ApCorrupt;
    }
    // Photo CD decodes as YCC and PSD may hold Lab: everything but CMYK leaves as sRGB.
    const MagickCore::ColorspaceType space = image.colorSpace();
    if (space != MagickCore::CMYKColorspace && space != MagickCore::sRGBColorspace &&
        space != MagickCore::RGBColorspace && space != MagickCore::GRAYColorspace)
        image.colorSpace(MagickCore::sRGBColorspace);

    page = RasterPage();
    page.storedBitsPerPixel = header.bitsPerPixel;
    page.dpiX = toDpi(image.xResolution(), image.resolutionUnits());
    page.dpiY = toDpi(image.yResolution(), image.resolutionUnits());

    if (image.matte()) {
        page.alpha.resize(w * h);
        image.write(0, 0, w, h, "A", MagickCore::CharPixel, page.alpha.data());
        if (std::all_of(page.alpha.begin(), page.alpha.end(), [](uint8_t a) { return a == 255; }))
            page.alpha = {};
    }

    MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
    const MagickCore::ImageType type = MagickCore::IdentifyImageType(image.constImage(), exception);
    MagickCore::DestroyExceptionInfo(exception);
    const bool sixteen = header.sixteenBit;

    if (image.colorSpace() == MagickCore::CMYKColorspace) {
        startPage(page, w, h, ColourModel::CMYK, sixteen ? 16 : 8);
        exportSamples(image, "CMYK", 4, sixteen, page);
    } else if (type == MagickCore::BilevelType) {
        startPage(page, w, h, ColourModel::Gray, 1);
        exportBilevel(image, page);
    } else if (header.palette && header.indexBits > 0 && header.indexBits <= 8) {
        startPage(page, w, h, ColourModel::Indexed, header.indexBits);
        if (!exportIndexed(image, header.indexBits, page)) {
            startPage(page, w, h, ColourModel::RGB, 8);
            exportSamples(image, "RGB", 3, false, page);
        }
    } else if (type == MagickCore::GrayscaleType || type == MagickCore::GrayscaleMatteType) {
        startPage(page, w, h, ColourModel::Gray, sixteen ? 16 : 8);
        exportSamples(image, "R", 1, sixteen, page);
    } else {
        startPage(page, w, h, ColourModel::RGB, sixteen ? 16 : 8);
        exportSamples(image, "RGB", 3, sixteen, page);
    }

    const Magick::Blob icc = image.iccColorProfile();
    if (iccMatches(icc, page.model))
        page.icc = QByteArray(static_cast<const char*>(icc.data()), qsizetype(icc.length()));
    return ApOk;
}

} // namespace imaging
