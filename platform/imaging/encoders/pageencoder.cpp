#include "platform/imaging/encoders/pageencoder.h"

#include "platform/imaging/encoders/encoders.h"
#include "platform/imaging/formats/jpegcodec.h"
#include "platform/imaging/pdf/streamstore.h"

#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

constexpr int kJpegQuality = 75;

int sampleAt(const uint8_t* row, int index, int bits) {
    switch (bits) {
    case 8:
        return row[index];
    case 16:
        return row[2 * index];
    default: {
        const int perByte = 8 / bits;
        const int shift = (perByte - 1 - index % perByte) * bits;
        return (row[index / perByte] >> shift) & ((1 << bits) - 1);
    }
    }
}

// A two-entry black-and-white palette is plain 1-bit grey; black/white order decides
// whether the bits flip.
void indexedBilevelToGrey(RasterPage& page) {
    if (page.model != ColourModel::Indexed || page.bitsPerComponent != 1 || page.palette.size() < 6) return;
    const auto& p = page.palette;
    const bool blackWhite = p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 255 && p[4] == 255 && p[5] == 255;
    const bool whiteBlack = p[0] == 255 && p[1] == 255 && p[2] == 255 && p[3] == 0 && p[4] == 0 && p[5] == 0;
    if (!blackWhite && !whiteBlack) return;
    if (whiteBlack)
        for (uint8_t& b : page.pixels)
            b = uint8_t(~b);
    page.model = ColourModel::Gray;
    page.palette.clear();
}

void fillStream(ImageStream& s, const RasterPage& page) {
    s.width = page.width;
    s.height = page.height;
    s.bitsPerComponent = page.bitsPerComponent;
    s.model = page.model;
    s.palette = page.palette;
    s.icc = page.icc;
}

void addPredictorParms(ImageStream& s, int colours) {
    s.parms.push_back({"Predictor", 15});
    s.parms.push_back({"Colors", colours});
    s.parms.push_back({"BitsPerComponent", s.bitsPerComponent});
    s.parms.push_back({"Columns", s.width});
}

// The row coders behind the lossless entries; the PNG predictor goes before all but PackBits.
enum class RowCoder { Lzw, Flate, RunLength };

int encodeLossless(const RasterPage& page, RowCoder coder, ImageStream& s, std::vector<uint8_t>& out,
                   QString& error) {
    const size_t stride = page.rowBytes();
    const size_t rows = size_t(page.height);
    const bool predict =
        coder != RowCoder::RunLength && page.model != ColourModel::Indexed && page.bitsPerComponent >= 8;
    // Predictor rows are made one at a time as the encoder asks for them.
    PngPredictor predictor(page.pixels.data(), stride, page.components() * page.bitsPerComponent / 8);
    const RowSource source = predict ? RowSource([&](size_t y) { return predictor.row(y); })
                                     : RowSource([&](size_t y) { return page.pixels.data() + y * stride; });
    const size_t rowBytes = predict ? predictor.filteredRowBytes() : stride;
    bool ok = false;
    if (coder == RowCoder::Lzw) {
        ok = encodeLzw(source, rowBytes, rows, out, error);
        if (predict) addPredictorParms(s, page.components());
        s.parms.push_back({"EarlyChange", 1});
    } else if (coder == RowCoder::RunLength) {
        ok = encodeRunLength(source, rowBytes, rows, out, error);
    } else {
        ok = encodeFlate(source, rowBytes, rows, out, error);
        if (predict) addPredictorParms(s, page.components());
    }
    return ok ? ApOk : ApCannotWrite;
}

// 8-bit rows (grey or RGB for a palette) converted one at a time from whatever the page
// holds (palette indices, 1 to 16 bits): the DCT encoder takes them as they come, so no
// converted copy of the page is made for it.
class EightBitRows {
public:
    explicit EightBitRows(const RasterPage& page)
        : m_page(page), m_greyPalette(page.model == ColourModel::Indexed && paletteIsGrey(page.palette)),
          m_components(page.model == ColourModel::Indexed ? (m_greyPalette ? 1 : 3) : page.components()),
          m_row(size_t(page.width) * size_t(m_components)) {}
    int components() const { return m_components; }
    bool greyPalette() const { return m_greyPalette; }
    const uint8_t* row(size_t y) {
        const uint8_t* in = m_page.pixels.data() + y * m_page.rowBytes();
        const int bits = m_page.bitsPerComponent;
        if (m_page.model == ColourModel::Indexed) {
            const size_t entries = m_page.palette.size() / 3;
            uint8_t* dst = m_row.data();
            for (int x = 0; x < m_page.width; ++x) {
                size_t index = size_t(sampleAt(in, x, bits));
                if (index >= entries)
                    index = entries ? entries - 1 : 0; // out-of-range indices take the last colour
                for (int c = 0; c < m_components; ++c)
                    *dst++ = entries ? m_page.palette[index * 3 + size_t(c)] : 0;
            }
            return m_row.data();
        }
        if (bits == 8)
            return in;
        const int maxValue = (1 << std::min(bits, 8)) - 1;
        for (size_t i = 0; i < m_row.size(); ++i)
            m_row[i] = bits == 16 ? in[2 * i] : uint8_t(sampleAt(in, int(i), bits) * 255 / maxValue);
        return m_row.data();
    }

private:
    const RasterPage& m_page;
    bool m_greyPalette;
    int m_components;
    std::vector<uint8_t> m_row;
};

// The page itself converted to 8 bits, palette expanded.
void toEightBit(RasterPage& page) {
    EightBitRows rows(page);
    const size_t rowBytes = size_t(page.width) * size_t(rows.components());
    std::vector<uint8_t> out(rowBytes * size_t(page.height));
    for (int y = 0; y < page.height; ++y)
        std::memcpy(out.data() + size_t(y) * rowBytes, rows.row(size_t(y)), rowBytes);
    page.pixels.swap(out);
    if (page.model == ColourModel::Indexed) {
        page.model = rows.components() == 1 ? ColourModel::Gray : ColourModel::RGB;
        page.palette.clear();
        if (rows.greyPalette())
            page.icc.clear(); // an RGB profile no longer describes the data
    }
    page.bitsPerComponent = 8;
}

int encodeJpeg(const RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    EightBitRows rows(page);
    s.model = rows.components() == 1 ? ColourModel::Gray : ColourModel::RGB;
    s.bitsPerComponent = 8;
    s.palette.clear();
    if (rows.greyPalette())
        s.icc.clear(); // an RGB profile no longer describes the data
    const bool ok = encodeDct([&](size_t y) { return rows.row(y); }, page.width, page.height, rows.components(),
                              kJpegQuality, out, error);
    return ok ? ApOk : ApCannotWrite;
}

int encodeFax(RasterPage& page, bool group4, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    // The fax codes call 0 bits white; a grey page has 1 for white, so it is flipped and
    // read back with BlackIs1 false. Palette indices go as they are, read with BlackIs1 true.
    const bool grey = page.model == ColourModel::Gray;
    if (grey)
        for (uint8_t& b : page.pixels)
            b = uint8_t(~b);
    if (!encodeCcitt(page.pixels.data(), page.width, page.height, group4, out, error)) return ApCannotWrite;
    s.parms.push_back({"K", group4 ? -1 : 0});
    s.parms.push_back({"Columns", page.width});
    s.parms.push_back({"Rows", page.height});
    if (!group4) {
        s.parms.push_back({"EndOfLine", 1, true});
        s.parms.push_back({"EndOfBlock", 0, true});
    }
    if (!grey) s.parms.push_back({"BlackIs1", 1, true});
    return ApOk;
}

// Writes `page` with `entry`'s encoder under its filter.
int encodeWith(const CompressionEntry& entry, RasterPage& page, ImageStream& s, std::vector<uint8_t>& out,
               QString& error) {
    s.filter = entry.pdfFilter;
    return entry.encode(page, s, out, error);
}

} // namespace

int encodeLzwPage(RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    return encodeLossless(page, RowCoder::Lzw, s, out, error);
}

int encodeZipPage(RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    return encodeLossless(page, RowCoder::Flate, s, out, error);
}

int encodePackbitsPage(RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    return encodeLossless(page, RowCoder::RunLength, s, out, error);
}

int encodeJpegPage(RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    return encodeJpeg(page, s, out, error);
}

int encodeG3Page(RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    return encodeFax(page, false, s, out, error);
}

int encodeG4Page(RasterPage& page, ImageStream& s, std::vector<uint8_t>& out, QString& error) {
    return encodeFax(page, true, s, out, error);
}

bool isOpaque(const std::vector<uint8_t>& alpha) {
    return std::all_of(alpha.begin(), alpha.end(), [](uint8_t a) { return a == 255; });
}

bool paletteIsGrey(const std::vector<uint8_t>& palette) {
    for (size_t i = 0; i + 2 < palette.size(); i += 3)
        if (palette[i] != palette[i + 1] || palette[i] != palette[i + 2]) return false;
    return true;
}

void expandPalette(RasterPage& page) {
    if (page.model == ColourModel::Indexed)
        toEightBit(page);
}

void convertTo8Bit(RasterPage& page) {
    if (page.bitsPerComponent != 8 && page.model != ColourModel::Indexed)
        toEightBit(page);
}

void narrowModel(RasterPage& page) {
    if (page.bitsPerComponent != 8)
        return;
    const size_t pixels = size_t(page.width) * size_t(page.height);
    if (page.model == ColourModel::RGB) {
        const uint8_t* p = page.pixels.data();
        for (size_t i = 0; i < pixels; ++i)
            if (p[3 * i] != p[3 * i + 1] || p[3 * i] != p[3 * i + 2])
                return;
        for (size_t i = 0; i < pixels; ++i)
            page.pixels[i] = page.pixels[3 * i];
        page.pixels.resize(pixels);
        page.model = ColourModel::Gray;
        page.icc.clear(); // an RGB profile no longer describes the data
    }
    if (!page.alpha.empty() && !isOpaque(page.alpha))
        return;
    // Black and white: 0 or 255 grey, or palette entries that are pure black or white.
    std::vector<uint8_t> level(256, 2); // 0 black, 1 white, 2 neither
    if (page.model == ColourModel::Gray) {
        level[0] = 0;
        level[255] = 1;
    } else if (page.model == ColourModel::Indexed) {
        for (size_t i = 0; i * 3 + 2 < page.palette.size() && i < 256; ++i) {
            const uint8_t* c = page.palette.data() + 3 * i;
            if (c[0] == c[1] && c[0] == c[2] && (c[0] == 0 || c[0] == 255))
                level[i] = c[0] ? 1 : 0;
        }
    } else {
        return;
    }
    for (size_t i = 0; i < pixels; ++i)
        if (level[page.pixels[i]] == 2)
            return;
    std::vector<uint8_t> bits(size_t((page.width + 7) / 8) * size_t(page.height), 0);
    const size_t rowBytes = size_t((page.width + 7) / 8);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if (level[page.pixels[size_t(y) * size_t(page.width) + size_t(x)]]) // white is 1 in DeviceGray
                bits[size_t(y) * rowBytes + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
    page.pixels.swap(bits);
    page.model = ColourModel::Gray;
    page.bitsPerComponent = 1;
    page.palette.clear();
    page.alpha.clear();
    page.icc.clear();
}

int encodeRasterPage(RasterPage& page, Compression c, int orientation, StreamStore& store, EncodedPage& out,
                     QString& error) {
    out = EncodedPage{};
    out.dpiX = page.dpiX;
    out.dpiY = page.dpiY;
    out.orientation = orientation;
    indexedBilevelToGrey(page);
    const bool bilevel =
        page.bitsPerComponent == 1 && page.components() == 1 && page.model != ColourModel::CMYK;
    const CompressionEntry& entry = encoderFor(c, bilevel, page.model == ColourModel::CMYK);

    std::vector<uint8_t> encoded;
    ImageStream& s = out.image;
    fillStream(s, page);
    int rc = encodeWith(entry, page, s, encoded, error);
    if (rc != ApOk) return rc;
    std::vector<uint8_t>().swap(page.pixels);
    if (!(s.data = store.keep(std::move(encoded), error))) return ApCannotWrite;

    if (!page.alpha.empty() && !isOpaque(page.alpha)) {
        RasterPage mask;
        mask.width = page.width;
        mask.height = page.height;
        mask.model = ColourModel::Gray;
        mask.bitsPerComponent = 8;
        mask.pixels.swap(page.alpha);
        ImageStream m;
        fillStream(m, mask);
        std::vector<uint8_t> maskBytes;
        if ((rc = encodeWith(compressionEntry(Compression::Zip), mask, m, maskBytes, error)) != ApOk) return rc;
        if (!(m.data = store.keep(std::move(maskBytes), error))) return ApCannotWrite;
        out.softMask = std::move(m);
    }
    return ApOk;
}

} // namespace imaging
