#include "platform/pdfrender/bandedpage.h"

#include <algorithm>
#include <climits>
#include <poppler-qt6.h>

namespace pdfrender {

namespace {

constexpr int kInvalidFormat = 321;

qint64& bandLimit() {
    static qint64 bytes = qint64(96) << 20;
    return bytes;
}

// Rendered rows are brought to the asked depth a few at a time, never a band at once.
constexpr qint64 kChunkBytes = qint64(4) << 20;

// The rendered rows at 24, 8 or 1 bits per pixel (1: black below half brightness). The
// conversions are Qt's, so a banded page has the pixels of a whole one.
QImage withDepth(const QImage& rendered, int bitsPerPixel) {
    if (bitsPerPixel == 24) return rendered.convertToFormat(QImage::Format_RGB888);
    const QImage grey = rendered.convertToFormat(QImage::Format_Grayscale8);
    if (bitsPerPixel == 8) return grey;
    QImage mono(grey.size(), QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* in = grey.constScanLine(y);
        uchar* out = mono.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (in[x] >= 128) out[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    return mono;
}

} // namespace

BandedPage::BandedPage(const Poppler::Page& page, int dpi, int bitsPerPixel, QString source, int number,
                       qint64 bandBytes)
    : m_page(page), m_dpi(dpi), m_bits(bitsPerPixel), m_source(std::move(source)), m_number(number),
      m_size(pixelSize(page, dpi)) {
    const qint64 rowBytes = qint64(std::max(m_size.width(), 1)) * 4;
    m_bandRows = int(std::clamp<qint64>(bandBytes / rowBytes, 1, std::max(m_size.height(), 1)));
    m_chunkRows = int(std::clamp<qint64>(kChunkBytes / rowBytes, 1, m_bandRows));
}

QSize BandedPage::pixelSize(const Poppler::Page& page, int dpi) {
    // As poppler sizes its own image of the page (scale first, then round).
    const QSizeF points = page.pageSizeF();
    const double scale = dpi / 72.0;
    const auto pixels = [&](double length) {
        const double rounded = scale * length + 0.5;
        return rounded < 1 ? 1 : rounded >= double(INT_MAX) ? INT_MAX : int(rounded);
    };
    return {pixels(points.width()), pixels(points.height())};
}

size_t BandedPage::rowBytes() const {
    const size_t w = size_t(width());
    return m_bits == 24 ? w * 3 : m_bits == 8 ? w : (w + 7) / 8;
}

qint64 BandedPage::bandBytes() { return bandLimit(); }

void BandedPage::setBandBytes(qint64 bytes) { bandLimit() = std::max<qint64>(bytes, 1); }

bool BandedPage::renderBand(int top, fileio::Failure& failure) {
    m_band = m_chunk = QImage(); // the old band goes before the new one is made
    const int rows = std::min(m_bandRows, height() - top);
    // A page that fits in one band is rendered whole, exactly as poppler renders a page.
    m_band = rows == height() ? m_page.renderToImage(m_dpi, m_dpi)
                              : m_page.renderToImage(m_dpi, m_dpi, 0, top, width(), rows);
    if (m_band.isNull() || m_band.width() != width() || m_band.height() != rows) {
        m_band = QImage();
        return failure.set(kInvalidFormat, QStringLiteral("%1: cannot render page %2").arg(m_source).arg(m_number));
    }
    m_top = top;
    return true;
}

void BandedPage::convertChunk(int y) {
    const int rows = std::min(m_chunkRows, m_top + m_band.height() - y);
    const QImage view(m_band.constScanLine(y - m_top), m_band.width(), rows, m_band.bytesPerLine(), m_band.format());
    m_chunk = withDepth(view, m_bits);
    m_chunkTop = y;
}

const uchar* BandedPage::row(int y, fileio::Failure& failure) {
    if (y < 0 || y >= height()) {
        failure.set(kInvalidFormat, QStringLiteral("%1: page %2 has no row %3").arg(m_source).arg(m_number).arg(y));
        return nullptr;
    }
    if (m_band.isNull() || y < m_top || y >= m_top + m_band.height())
        if (!renderBand(y, failure)) return nullptr;
    if (m_chunk.isNull() || y < m_chunkTop || y >= m_chunkTop + m_chunk.height()) convertChunk(y);
    return m_chunk.constScanLine(y - m_chunkTop);
}

} // namespace pdfrender
