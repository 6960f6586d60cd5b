#include "platform/imaging/metafiles/metafilepage.h"

#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/formats/magickheader.h"
#include "platform/imaging/metafiles/metafileheader.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <new>
#include <sys/mman.h>

namespace imaging {

namespace {

// RGB32 pixels (blue, green, red, unused) packed into RGB triples where they lie: each
// triple is written no further on than the pixel it comes from.
void packRgb(std::vector<uint8_t>& pixels, size_t count) {
    uint8_t* p = pixels.data();
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = p[4 * i], g = p[4 * i + 1], r = p[4 * i + 2];
        p[3 * i] = r;
        p[3 * i + 1] = g;
        p[3 * i + 2] = b;
    }
    pixels.resize(3 * count);
}

// A page is touched whole, page by page of memory: in large pages it takes a few hundred
// faults rather than tens of thousands.
void adviseHugePages(void* data, size_t bytes) {
    const uintptr_t huge = uintptr_t(2) << 20;
    const uintptr_t from = (uintptr_t(data) + huge - 1) & ~(huge - 1),
                    to = (uintptr_t(data) + bytes) & ~(huge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// A colour page of no more than 256 colours as palette indices of 1, 2, 4 or 8 bits. Pictures
// are mostly a few flat colours: their pages then take a third of the memory or less, and no
// predictor, to encode.
void indexColours(RasterPage& page) {
    const size_t count = size_t(page.width) * size_t(page.height);
    const uint8_t* rgb = page.pixels.data();
    // Colours found so far, in a small open-addressed table: key = colour + 1, 0 for empty.
    constexpr size_t kSlots = 1024;
    std::vector<uint32_t> keys(kSlots, 0);
    std::vector<uint8_t> indices(kSlots, 0);
    std::vector<uint8_t> palette;
    const auto indexOf = [&](uint32_t colour) -> int {
        size_t slot = (colour * 2654435761u) >> 22 & (kSlots - 1);
        while (keys[slot] && keys[slot] != colour + 1)
            slot = (slot + 1) & (kSlots - 1);
        if (keys[slot]) return indices[slot];
        if (palette.size() == 3 * 256) return -1; // a 257th colour
        keys[slot] = colour + 1;
        indices[slot] = uint8_t(palette.size() / 3);
        palette.insert(palette.end(), {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)});
        return indices[slot];
    };
    const auto colourAt = [&](size_t i) {
        return uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    };
    uint32_t previous = 0xFFFFFFFF;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t colour = colourAt(i);
        if (colour != previous && indexOf(colour) < 0) return;
        previous = colour;
    }
    const size_t entries = palette.size() / 3;
    const int bits = entries <= 2 ? 1 : entries <= 4 ? 2 : entries <= 16 ? 4 : 8;
    const size_t rowBytes = (size_t(page.width) * size_t(bits) + 7) / 8;
    std::vector<uint8_t> packed(rowBytes * size_t(page.height), 0);
    for (int y = 0; y < page.height; ++y) {
        uint8_t* row = packed.data() + size_t(y) * rowBytes;
        for (int x = 0; x < page.width; ++x) {
            const int index = indexOf(colourAt(size_t(y) * size_t(page.width) + size_t(x)));
            const int bit = x * bits;
            row[bit / 8] = uint8_t(row[bit / 8] | index << (8 - bits - bit % 8));
        }
    }
    page.pixels.swap(packed);
    page.palette = std::move(palette);
    page.model = ColourModel::Indexed;
    page.bitsPerComponent = bits;
}

int drawMetafilePage(int width, int height, double dpi, const std::function<int(QImage&, QString&)>& draw,
                     const PageSink& sink, QString& error) {
    const size_t count = size_t(width) * size_t(height);
    std::vector<uint8_t> pixels;
    try {
        pixels.reserve(4 * count);
        adviseHugePages(pixels.data(), pixels.capacity());
        pixels.assign(4 * count, 0xFF); // a white page in RGB32, packed in place once drawn
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("out of memory while drawing the picture");
        return ApOverLimits;
    }
    {
        QImage canvas(pixels.data(), width, height, qsizetype(4) * width, QImage::Format_RGB32);
        canvas.setDotsPerMeterX(2835); // 72 dpi: font sizes in points are pixels of the page
        canvas.setDotsPerMeterY(2835);
        if (const int rc = draw(canvas, error); rc != ApOk) return rc;
    }
    packRgb(pixels, count);
    RasterPage page;
    page.width = width;
    page.height = height;
    page.model = ColourModel::RGB;
    page.bitsPerComponent = 8;
    page.dpiX = page.dpiY = dpi;
    page.storedBitsPerPixel = 24;
    page.pixels = std::move(pixels);
    narrowModel(page);
    if (page.model == ColourModel::RGB) indexColours(page);
    return sink(page);
}

} // namespace

int drawMetafile(const char* kind, QSizeF sizeMm,
                 const std::function<int(QImage&, double dpi, QString&)>& draw, const PageSink& sink,
                 QString& error) {
    const int64_t fullWidth = metafilePixels(sizeMm.width()), fullHeight = metafilePixels(sizeMm.height());
    if (!withinLimits(fullWidth, fullHeight, fullWidth * 3 * fullHeight)) {
        error = QStringLiteral("%1 picture of %2 x %3 pixels is over the limits")
                    .arg(QLatin1String(kind))
                    .arg(fullWidth)
                    .arg(fullHeight);
        return ApOverLimits;
    }
    // Text is drawn with Qt's fonts, which exist only in a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = QStringLiteral("%1 pictures need a GUI application for their fonts").arg(QLatin1String(kind));
        return ApUnsupported;
    }
    const double dpi = metafileDpi(sizeMm.width(), sizeMm.height());
    const int width = int(metafilePixels(sizeMm.width(), dpi)),
              height = int(metafilePixels(sizeMm.height(), dpi));
    return drawMetafilePage(
        width, height, dpi, [&](QImage& canvas, QString& drawError) { return draw(canvas, dpi, drawError); },
        sink, error);
}

} // namespace imaging
