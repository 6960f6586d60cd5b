#include "platform/tiffpages/tiffpagecopy.h"

#include "platform/fileio/filenames.h"
#include "platform/imaging/formats/raster.h"
#include "platform/tiffpages/tiffoutput.h"

#include <QFileInfo>
#include <limits>
#include <vector>

namespace tiffpages {

namespace {

constexpr int kInvalidFormat = 321;

template <class T>
void copyField(TIFF* in, TIFF* out, uint32_t tag) {
    T value{};
    if (TIFFGetField(in, tag, &value)) TIFFSetField(out, tag, value);
}

void copyString(TIFF* in, TIFF* out, uint32_t tag) {
    const char* text = nullptr;
    if (TIFFGetField(in, tag, &text) && text) TIFFSetField(out, tag, text);
}

void copyPair(TIFF* in, TIFF* out, uint32_t tag) {
    uint16_t a = 0, b = 0;
    if (TIFFGetField(in, tag, &a, &b)) TIFFSetField(out, tag, a, b);
}

void copyFloats(TIFF* in, TIFF* out, uint32_t tag) {
    float* values = nullptr;
    if (TIFFGetField(in, tag, &values) && values) TIFFSetField(out, tag, values);
}

void copyBlob(TIFF* in, TIFF* out, uint32_t tag) {
    uint32_t count = 0;
    void* data = nullptr;
    if (TIFFGetField(in, tag, &count, &data) && data && count) TIFFSetField(out, tag, count, data);
}

// What describes the page, apart from its layout and image data.
void copyDescriptiveTags(TIFF* in, TIFF* out) {
    copyField<uint32_t>(in, out, TIFFTAG_SUBFILETYPE);
    copyField<float>(in, out, TIFFTAG_XRESOLUTION);
    copyField<float>(in, out, TIFFTAG_YRESOLUTION);
    copyField<uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
    copyField<float>(in, out, TIFFTAG_XPOSITION);
    copyField<float>(in, out, TIFFTAG_YPOSITION);
    for (uint32_t tag : {TIFFTAG_DOCUMENTNAME, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE, TIFFTAG_MODEL,
                         TIFFTAG_SOFTWARE, TIFFTAG_DATETIME, TIFFTAG_ARTIST, TIFFTAG_HOSTCOMPUTER,
                         TIFFTAG_PAGENAME, TIFFTAG_COPYRIGHT})
        copyString(in, out, tag);
    for (uint32_t tag : {TIFFTAG_ICCPROFILE, TIFFTAG_XMLPACKET, TIFFTAG_PHOTOSHOP, TIFFTAG_RICHTIFFIPTC})
        copyBlob(in, out, tag);
}

void setPageNumber(TIFF* in, TIFF* out, int pageNumber, int pageTotal) {
    uint16_t number = 0, total = 0;
    if (TIFFGetField(in, TIFFTAG_PAGENUMBER, &number, &total))
        TIFFSetField(out, TIFFTAG_PAGENUMBER, uint16_t(std::min(pageNumber, 65535)),
                     uint16_t(std::min(pageTotal, 65535)));
}

bool copyRaw(TiffInput& in, TiffOutput& out, fileio::Failure& failure) {
    TIFF* const src = in.get();
    TIFF* const dst = out.get();
    uint32_t width = 0, height = 0;
    TIFFGetField(src, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(src, TIFFTAG_IMAGELENGTH, &height);
    TIFFSetField(dst, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(dst, TIFFTAG_IMAGELENGTH, height);
    // Layout first: the codec's own tags and the colour map depend on it.
    for (uint32_t tag : {TIFFTAG_BITSPERSAMPLE, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_COMPRESSION, TIFFTAG_PHOTOMETRIC,
                         TIFFTAG_FILLORDER, TIFFTAG_ORIENTATION, TIFFTAG_PLANARCONFIG, TIFFTAG_SAMPLEFORMAT,
                         TIFFTAG_THRESHHOLDING, TIFFTAG_INKSET, TIFFTAG_MINSAMPLEVALUE, TIFFTAG_MAXSAMPLEVALUE,
                         TIFFTAG_YCBCRPOSITIONING, TIFFTAG_PREDICTOR, TIFFTAG_CLEANFAXDATA})
        copyField<uint16_t>(src, dst, tag);
    for (uint32_t tag : {TIFFTAG_GROUP3OPTIONS, TIFFTAG_GROUP4OPTIONS})
        copyField<uint32_t>(src, dst, tag);
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(src, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount)
        TIFFSetField(dst, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(src, TIFFTAG_COLORMAP, &red, &green, &blue)) TIFFSetField(dst, TIFFTAG_COLORMAP, red, green, blue);
    if (TIFFGetField(src, TIFFTAG_TRANSFERFUNCTION, &red, &green, &blue))
        TIFFSetField(dst, TIFFTAG_TRANSFERFUNCTION, red, green, blue);
    copyPair(src, dst, TIFFTAG_YCBCRSUBSAMPLING);
    copyPair(src, dst, TIFFTAG_HALFTONEHINTS);
    for (uint32_t tag : {TIFFTAG_REFERENCEBLACKWHITE, TIFFTAG_WHITEPOINT, TIFFTAG_PRIMARYCHROMATICITIES})
        copyFloats(src, dst, tag);
    copyBlob(src, dst, TIFFTAG_JPEGTABLES);

    const bool tiled = TIFFIsTiled(src);
    if (tiled) {
        copyField<uint32_t>(src, dst, TIFFTAG_TILEWIDTH);
        copyField<uint32_t>(src, dst, TIFFTAG_TILELENGTH);
    } else {
        uint32_t rows = height;
        TIFFGetField(src, TIFFTAG_ROWSPERSTRIP, &rows);
        TIFFSetField(dst, TIFFTAG_ROWSPERSTRIP, rows);
    }
    const uint32_t pieces = tiled ? TIFFNumberOfTiles(src) : TIFFNumberOfStrips(src);
    std::vector<uint8_t> buffer;
    for (uint32_t i = 0; i < pieces; ++i) {
        int err = 0;
        const uint64_t size = TIFFGetStrileByteCountWithErr(src, i, &err);
        if (err) return in.failRead(failure, QStringLiteral("cannot read the strip table of"));
        // Never allocate more than the file could hold.
        if (size > in.size())
            return failure.set(kInvalidFormat, QStringLiteral("%1: a strip claims %2 bytes of a %3-byte file")
                                                   .arg(in.path())
                                                   .arg(size)
                                                   .arg(in.size()));
        buffer.resize(size_t(size));
        tmsize_t got = 0;
        if (size) {
            got = tiled ? TIFFReadRawTile(src, i, buffer.data(), tmsize_t(size))
                        : TIFFReadRawStrip(src, i, buffer.data(), tmsize_t(size));
            if (got != tmsize_t(size)) return in.failRead(failure, QStringLiteral("cannot read the image data of"));
        }
        const tmsize_t put = tiled ? TIFFWriteRawTile(dst, i, buffer.data(), got)
                                   : TIFFWriteRawStrip(dst, i, buffer.data(), got);
        if (put != got) return out.fail(failure, QStringLiteral("cannot write"));
    }
    return true;
}

// Old-style JPEG: decoded through libtiff's RGBA interface, written as LZW.
bool reencodeAsLzw(TiffInput& in, TiffOutput& out, fileio::Failure& failure) {
    TIFF* const src = in.get();
    TIFF* const dst = out.get();
    uint32_t width = 0, height = 0;
    TIFFGetField(src, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(src, TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0 || width > imaging::kMaxSide || height > imaging::kMaxSide ||
        uint64_t(width) * height * 4 > uint64_t(imaging::kMaxDecodedBytes))
        return failure.set(kInvalidFormat, QStringLiteral("%1: a %2 x %3 page is beyond what is decoded")
                                               .arg(in.path())
                                               .arg(width)
                                               .arg(height));
    // JPEG data holds at most about 700 decoded bytes per byte (a flat 16 x 16 block of
    // pixels costs a byte and a half), so a page the file cannot hold is refused before
    // its raster is allocated.
    constexpr uint64_t kMaxExpansion = 1024;
    if (uint64_t(width) * height * 4 > in.size() * kMaxExpansion)
        return failure.set(kInvalidFormat, QStringLiteral("%1: a %2 x %3 page cannot be held by a %4-byte file")
                                               .arg(in.path())
                                               .arg(width)
                                               .arg(height)
                                               .arg(in.size()));
    std::vector<uint32_t> raster(size_t(width) * height);
    if (!TIFFReadRGBAImageOriented(src, width, height, raster.data(), ORIENTATION_TOPLEFT, 0))
        return in.failRead(failure, QStringLiteral("cannot decode"));
    TIFFSetField(dst, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(dst, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(dst, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(dst, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(dst, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(dst, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(dst, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(dst, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(dst, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(dst, 0));
    std::vector<uint8_t> row(size_t(width) * 3);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* px = raster.data() + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3] = uint8_t(TIFFGetR(px[x]));
            row[x * 3 + 1] = uint8_t(TIFFGetG(px[x]));
            row[x * 3 + 2] = uint8_t(TIFFGetB(px[x]));
        }
        if (TIFFWriteScanline(dst, row.data(), y, 0) < 0) return out.fail(failure, QStringLiteral("cannot write"));
    }
    return true;
}

} // namespace

bool TiffInput::open(const QString& path, fileio::Failure& failure) {
    m_path = path;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return failure.set(53, QStringLiteral("%1: %2").arg(path, fileio::notFoundReason(path)));
    if (!info.isFile()) return failure.set(53, QStringLiteral("%1: not a regular file").arg(path));
    m_size = uint64_t(info.size());
    if (!m_handle.openFile(path, "r"))
        return failure.set(kInvalidFormat, QStringLiteral("%1: not a TIFF file (%2)").arg(path, m_handle.error()));
    const tdir_t pages = TIFFNumberOfDirectories(m_handle.get());
    if (!m_handle.error().isEmpty() || pages == 0 || pages > tdir_t(std::numeric_limits<int>::max())) {
        m_pages = -1;
        return failure.set(kInvalidFormat, QStringLiteral("%1: cannot walk its pages (%2)").arg(path, m_handle.error()));
    }
    m_pages = int(pages);
    return select(0, failure);
}

bool TiffInput::select(int index, fileio::Failure& failure) {
    const tdir_t current = TIFFCurrentDirectory(get());
    if (current == tdir_t(index)) return true;
    // The next page is read on from the current one; others are looked up from the start.
    const bool ok = current + 1 == tdir_t(index) ? TIFFReadDirectory(get()) : TIFFSetDirectory(get(), tdir_t(index));
    if (!ok || !m_handle.error().isEmpty())
        return failRead(failure, QStringLiteral("cannot read page %1 of").arg(index + 1));
    return true;
}

bool TiffInput::failRead(fileio::Failure& failure, const QString& what) {
    return failure.set(kInvalidFormat, QStringLiteral("%1 %2: %3").arg(what, m_path, m_handle.error()));
}

bool copyPage(TiffInput& in, TiffOutput& out, int pageNumber, int pageTotal, fileio::Failure& failure) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(in.get(), TIFFTAG_COMPRESSION, &compression);
    const bool ok = compression == COMPRESSION_OJPEG ? reencodeAsLzw(in, out, failure) : copyRaw(in, out, failure);
    if (!ok) return false;
    copyDescriptiveTags(in.get(), out.get());
    setPageNumber(in.get(), out.get(), pageNumber, pageTotal);
    return out.writeDirectory(failure);
}

} // namespace tiffpages
