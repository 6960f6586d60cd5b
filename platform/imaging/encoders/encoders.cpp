#include "platform/imaging/encoders/encoders.h"

#include <algorithm>
#include <cstdlib>
#include <zlib.h>

namespace imaging {

namespace {

inline uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// Filters one row with filter `type` into `out` (without the filter byte); answers the
// sum of the bytes taken as signed values, libpng's cost estimate.
uint64_t filterRow(int type, const uint8_t* cur, const uint8_t* prev, size_t n, int bpp, uint8_t* out) {
    uint64_t cost = 0;
    for (size_t i = 0; i < n; ++i) {
        const int a = i >= size_t(bpp) ? cur[i - size_t(bpp)] : 0;
        const int b = prev ? prev[i] : 0;
        const int c = (prev && i >= size_t(bpp)) ? prev[i - size_t(bpp)] : 0;
        uint8_t v = cur[i];
        switch (type) {
        case 1:
            v = uint8_t(cur[i] - a);
            break;
        case 2:
            v = uint8_t(cur[i] - b);
            break;
        case 3:
            v = uint8_t(cur[i] - ((a + b) >> 1));
            break;
        case 4:
            v = uint8_t(cur[i] - paeth(a, b, c));
            break;
        default:
            break;
        }
        out[i] = v;
        cost += v < 128 ? v : 256 - v;
    }
    return cost;
}

} // namespace

PngPredictor::PngPredictor(const uint8_t* rows, size_t rowBytes, int bytesPerPixel)
    : m_rows(rows), m_rowBytes(rowBytes), m_bytesPerPixel(bytesPerPixel), m_out(rowBytes + 1), m_trial(rowBytes) {}

const uint8_t* PngPredictor::row(size_t y) {
    const uint8_t* cur = m_rows + y * m_rowBytes;
    const uint8_t* prev = y ? cur - m_rowBytes : nullptr;
    uint8_t* dst = m_out.data();
    uint64_t best = filterRow(0, cur, prev, m_rowBytes, m_bytesPerPixel, dst + 1);
    dst[0] = 0;
    for (int type = 1; type <= 4; ++type) {
        const uint64_t cost = filterRow(type, cur, prev, m_rowBytes, m_bytesPerPixel, m_trial.data());
        if (cost < best) {
            best = cost;
            dst[0] = uint8_t(type);
            std::copy(m_trial.begin(), m_trial.end(), dst + 1);
        }
    }
    return dst;
}

bool encodeFlate(const RowSource& rows, size_t rowBytes, size_t rowCount, std::vector<uint8_t>& out,
                 QString& error) {
    z_stream zs{};
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) {
        error = QStringLiteral("zlib cannot start");
        return false;
    }
    // Address space for the worst case, so the output is never copied while it grows; only
    // what is written becomes memory.
    out.clear();
    out.reserve(size_t(deflateBound(&zs, uLong(rowBytes * rowCount))));
    std::vector<uint8_t> chunk(1u << 18);
    int rc = Z_OK;
    for (size_t y = 0; y <= rowCount; ++y) {
        // The row may be larger than zlib's uInt counts: no row of ours reaches 4 GiB.
        const bool last = y == rowCount;
        zs.next_in = last ? nullptr : const_cast<Bytef*>(rows(y));
        zs.avail_in = last ? 0 : uInt(rowBytes);
        do {
            zs.next_out = chunk.data();
            zs.avail_out = uInt(chunk.size());
            rc = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
                deflateEnd(&zs);
                error = QStringLiteral("zlib failed (%1)").arg(rc);
                return false;
            }
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - zs.avail_out));
        } while (zs.avail_out == 0 || (last && rc != Z_STREAM_END));
    }
    deflateEnd(&zs);
    return true;
}

} // namespace imaging
