#pragma once

// One PDF page rendered band by band and handed out a row at a time, so that the memory a
// page costs follows the band, not the page: a page of a hundred million pixels never
// exists whole. A page that fits in one band is rendered whole, as one call to poppler.

#include "platform/fileio/outputset.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace Poppler {
class Page;
}

namespace pdfrender {

class BandedPage {
public:
    // `page` at `dpi`, at 24 (RGB), 8 (grey) or 1 bit per pixel, in bands of at most `bandBytes`
    // rendered pixels (4 bytes each). `source` and `number` name the page in a failure.
    BandedPage(const Poppler::Page& page, int dpi, int bitsPerPixel, QString source, int number,
               qint64 bandBytes = BandedPage::bandBytes());

    // The size poppler gives the whole page at `dpi`.
    static QSize pixelSize(const Poppler::Page& page, int dpi);

    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    int bitsPerPixel() const { return m_bits; }
    int dpi() const { return m_dpi; }
    const QString& source() const { return m_source; }
    int number() const { return m_number; }
    // 3 bytes a pixel (R, G, B), 1 (grey, 0 black) or 1 bit (first pixel in the high bit, 1 white).
    size_t rowBytes() const;

    // Row `y`; rows are asked for in order, top to bottom, and the pointer holds until the
    // next call. Null, with `failure` set, when poppler cannot render the band.
    const uchar* row(int y, fileio::Failure& failure);

    // Drops what is held of the page, for a writer that has taken every row.
    void release() { m_band = m_chunk = QImage(); }

    // Rendered pixels (4 bytes each) a band holds at most: 96 MiB, 120 MB with poppler's own
    // alpha plane. Less for a page that draws a large image or nests transparency (see
    // RenderPlan). Tests make it small to put seams through a small page.
    static qint64 bandBytes();
    static void setBandBytes(qint64 bytes);

private:
    bool renderBand(int top, fileio::Failure& failure);
    void convertChunk(int y);

    const Poppler::Page& m_page;
    int m_dpi;
    int m_bits;
    QString m_source;
    int m_number;
    QSize m_size;
    int m_bandRows;
    int m_chunkRows;
    int m_top = 0;      // first page row of m_band
    QImage m_band;      // rendered rows, as poppler gives them
    int m_chunkTop = 0; // first page row of m_chunk
    QImage m_chunk;     // a few rows of m_band at the asked depth
};

} // namespace pdfrender
