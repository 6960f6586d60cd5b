#include "platform/imaging/formats/tiffreader.h"

#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/pdf/streamstore.h"
#include "platform/imaging/formats/tiffhandle.h"

#include <QFile>

namespace imaging {

namespace {

// Decoding a passed-through Group 4 strip costs a few milliseconds per page and turns a
// damaged strip into an error instead of a page no reader can show.
constexpr bool kVerifyPassThrough = true;

int openTiff(TiffHandle& tiff, const QString& path, QString& error) {
    const int rc = tiff.openSource(path);
    if (rc == ApCannotRead)
        error = tiff.error();
    else if (rc != ApOk)
        error = QStringLiteral("%1: %2").arg(
            path, tiff.error().isEmpty() ? QStringLiteral("not a readable TIFF") : tiff.error());
    return rc;
}

uint16_t tag16(TIFF* t, ttag_t tag, uint16_t fallback) {
    uint16_t v = fallback;
    return TIFFGetFieldDefaulted(t, tag, &v) ? v : fallback;
}

void resolution(TIFF* t, double& dpiX, double& dpiY) {
    float x = 0, y = 0;
    const uint16_t unit = tag16(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (!TIFFGetField(t, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(t, TIFFTAG_YRESOLUTION, &y) ||
        unit == RESUNIT_NONE)
        return;
    const double f = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    dpiX = double(x) * f;
    dpiY = double(y) * f;
}

// A Group 4 page that PDF's CCITTFaxDecode reads exactly as stored: one strip, no
// uncompressed mode.
bool passableGroup4(TIFF* t) {
    uint32_t options = 0;
    TIFFGetField(t, TIFFTAG_GROUP4OPTIONS, &options);
    const uint16_t photometric = tag16(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    return tag16(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == COMPRESSION_CCITTFAX4 &&
           tag16(t, TIFFTAG_BITSPERSAMPLE, 1) == 1 && tag16(t, TIFFTAG_SAMPLESPERPIXEL, 1) == 1 &&
           !TIFFIsTiled(t) && TIFFNumberOfStrips(t) == 1 && (options & GROUP4OPT_UNCOMPRESSED) == 0 &&
           (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
}

// A fax fill function that draws nothing.
void skipFaxRuns(unsigned char*, uint32_t*, uint32_t*, uint32_t) {}

int passGroup4(TiffHandle& tiff, const QString& path, uint32_t width, uint32_t height, StreamStore& store,
               EncodedPage& page, QString& error) {
    TIFF* t = tiff.get();
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    if (!TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets || !counts || counts[0] == 0) {
        error = QStringLiteral("%1: Group 4 page without data").arg(path);
        return ApCorrupt;
    }
    if (kVerifyPassThrough) {
        // Row by row into one row: the strip may claim far more than it holds. The decoder
        // checks every code; the rows' pixels are not wanted, so they are not drawn.
        std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize64(t)));
        TIFFSetField(t, TIFFTAG_FAXFILLFUNC, &skipFaxRuns);
        tiff.clearError();
        for (uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(t, row.data(), y, 0) < 0 || !tiff.error().isEmpty() || tiff.dataEndedEarly()) {
                error = QStringLiteral("%1: damaged Group 4 data: %2")
                            .arg(path, tiff.error().isEmpty() ? QStringLiteral("rows missing") : tiff.error());
                return ApCorrupt;
            }
        }
    }
    const bool reversed = tag16(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) == FILLORDER_LSB2MSB;
    ImageStream& s = page.image;
    // Like every passed-through source, the file must not change before the close.
    FileStamp stamp;
    if (!stampOf(TIFFFileno(t), stamp)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return ApCannotRead;
    }
    if (store.hasRoomFor(counts[0])) {
        auto raw = std::make_shared<SourceBytes>();
        raw->size = static_cast<size_t>(counts[0]);
        raw->data.reset(new uint8_t[raw->size]);
        if (TIFFReadRawStrip(t, 0, raw->data.get(), tmsize_t(raw->size)) != tmsize_t(raw->size)) {
            error = QStringLiteral("%1: Group 4 data cut short").arg(path);
            return ApCorrupt;
        }
        if (reversed) reverseBitsInPlace(raw->data.get(), raw->size);
        s.data = store.keep(path, stamp, std::move(raw), {{0, counts[0]}});
    } else {
        s.data = SourceStreamData::create(path, stamp, {{offsets[0], counts[0]}}, reversed, error);
    }
    if (!s.data) {
        if (error.isEmpty()) error = QStringLiteral("%1: Group 4 data cut short").arg(path);
        return ApCorrupt;
    }
    s.width = int(width);
    s.height = int(height);
    s.bitsPerComponent = 1;
    s.model = ColourModel::Gray;
    s.filter = "CCITTFaxDecode";
    s.parms = {{"K", -1}, {"Columns", int(width)}, {"Rows", int(height)}};
    if (tag16(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) == PHOTOMETRIC_MINISBLACK)
        s.parms.push_back({"BlackIs1", 1, true});
    resolution(t, page.dpiX, page.dpiY);
    page.orientation = tag16(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    return ApOk;
}

int storedDepth(TIFF* t) {
    return tag16(t, TIFFTAG_BITSPERSAMPLE, 1) * tag16(t, TIFFTAG_SAMPLESPERPIXEL, 1);
}

} // namespace

int readTiffPages(const QString& path, const CompressionChoice& choice, StreamStore& store,
                  std::vector<EncodedPage>& pages, QString& error) {
    TiffHandle tiff;
    if (const int rc = openTiff(tiff, path, error); rc != ApOk) return rc;
    TIFF* t = tiff.get();
    do {
        uint32_t width = 0, height = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
        if (width == 0 || height == 0) {
            error = QStringLiteral("%1: page %2 has no size").arg(path).arg(pages.size() + 1);
            return ApCorrupt;
        }
        if (width > kMaxSide || height > kMaxSide || (uint64_t(width) + 7) / 8 * height > uint64_t(kMaxDecodedBytes)) {
            error = QStringLiteral("%1: page of %2 x %3 pixels is over the limits")
                        .arg(path)
                        .arg(width)
                        .arg(height);
            return ApOverLimits;
        }
        const int depth = storedDepth(t);
        const Compression c = choice.forDepth(depth);
        EncodedPage page;
        int rc;
        if (passesThrough(c, SourceCoding::Group4, true) && passableGroup4(t)) {
            rc = passGroup4(tiff, path, width, height, store, page, error);
        } else {
            RasterPage raster;
            rc = decodeTiffDirectory(tiff, raster, error);
            if (rc == ApOk)
                rc = encodeRasterPage(raster, c, tag16(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT), store,
                                      page, error);
            if (rc != ApOk)
                error = QStringLiteral("%1, page %2: %3").arg(path).arg(pages.size() + 1).arg(error);
        }
        if (rc != ApOk) return rc;
        pages.push_back(std::move(page));
        tiff.clearError();
    } while (tiff.nextDirectory());
    if (!tiff.error().isEmpty()) {
        // The chain of pages breaks off: the file is damaged after the pages read so far.
        error = QStringLiteral("%1: %2").arg(path, tiff.error());
        return ApCorrupt;
    }
    return int(pages.size());
}

int tiffBitsPerPixel(const QString& path, QString& error) {
    TiffHandle tiff;
    if (const int rc = openTiff(tiff, path, error); rc != ApOk) return rc;
    return storedDepth(tiff.get());
}

} // namespace imaging
