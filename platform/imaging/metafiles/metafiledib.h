#pragma once

// Device-independent bitmaps held in metafile records. The header's claims (size, depth,
// colour table, compression) are checked against the record's bytes before anything is
// allocated, and only the part of a bitmap that shows on the page is decoded, at no more
// pixels than it covers there.

#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

namespace imaging::metafile {

struct Dib {
    int width = 0;
    int height = 0;       // rows, whichever way they are stored
    bool bottomUp = true; // the first stored row is the bottom one
    int bits = 0;         // 1, 4, 8, 16, 24 or 32
    int compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    std::vector<QRgb> colours;
    const uchar* data = nullptr; // the pixel bytes, within the record
    qsizetype dataBytes = 0;
    qsizetype stride = 0;
};

// Reads the bitmap at `bytes` (`size` bytes). `paletteIndices`: the colour table holds
// 16-bit palette indices (there is no palette here: they become the standard 16 colours).
// Answers false with `error` set for a bitmap its bytes cannot hold or that is not drawn
// (JPEG or PNG inside).
bool readDib(const char* bytes, qsizetype size, bool paletteIndices, Dib& dib, QString& error);
// The same for a header and colour table at `header` and pixels at `bits`, apart (EMF).
bool readDib(const char* header, qsizetype headerSize, const char* bits, qsizetype bitsSize, bool paletteIndices,
             Dib& dib, QString& error);

// How a bitmap's pixels cover the page: whole, through the alpha of its 32-bit pixels
// (premultiplied), or all but the pixels of one colour.
struct DibAlpha {
    enum Kind { Opaque, PerPixel, ColourKey } kind = Opaque;
    QRgb key = 0;
};

// Pixels of a bitmap: the `source` rectangle (rows counted from the top), sampled down to
// `size` (at most the source's own), handed out a band of rows at a time so that a large
// bitmap is never held whole. Run-length encoded bitmaps are decoded whole first, one byte a
// pixel; `maxPixels` bounds that and `size`. Not valid when a bound is passed.
class DibSampler {
public:
    DibSampler(const Dib& dib, const QRect& source, QSize size, qint64 maxPixels, DibAlpha alpha = {});
    bool isValid() const { return !m_size.isEmpty(); }
    QSize size() const { return m_size; }
    // Rows `first` to `first + count - 1` of the sampled picture (premultiplied ARGB when
    // the pixels are not opaque).
    QImage rows(int first, int count) const;

private:
    void sampleRow(const uchar* row, QRgb* out) const;

    const Dib& m_dib;
    QRect m_from;
    QSize m_size;
    std::vector<int> m_columns; // the source column of each column
    std::vector<uint8_t> m_indices;
    DibAlpha m_alpha;
};

} // namespace imaging::metafile
