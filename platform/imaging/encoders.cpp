#include "platform/imaging/encoders.h"

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

std::vector<uint8_t> applyPngPredictors(const uint8_t* rows, size_t rowBytes, size_t rowCount,
                                        int bytesPerPixel) {
    std::vector<uint8_t> out((rowBytes + 1) * rowCount);
    std::vector<uint8_t> trial(rowBytes);
    for (size_t y = 0; y < rowCount; ++y) {
        const uint8_t* cur = rows + y * rowBytes;
        const uint8_t* prev = y ? cur - rowBytes : nullptr;
        uint8_t* dst = out.data() + y * (rowBytes + 1);
        uint64_t best = filterRow(0, cur, prev, rowBytes, bytesPerPixel, dst + 1);
        dst[0] = 0;
        for (int type = 1; type <= 4; ++type) {
            const uint64_t cost = filterRow(type, cur, prev, rowBytes, bytesPerPixel, trial.data());
            if (cost < best) {
                best = cost;
                dst[0] = uint8_t(type);
                std::copy(trial.begin(), trial.end(), dst + 1);
            }
        }
    }
    return out;
}

bool encodeFlate(const uint8_t* data, size_t size, std::vector<uint8_t>& out, QString& error) {
    z_stream zs{};
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) {
        error = QStringLiteral("zlib cannot start");
        return false;
    }
    out.resize(deflateBound(&zs, uLong(std::min<size_t>(size, 1u << 30))) + 64);
    size_t produced = 0;
    size_t consumed = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        // zlib counts in uInt: feed at most 1 GiB at a time.
        const size_t chunk = std::min<size_t>(size - consumed, 1u << 30);
        zs.next_in = const_cast<Bytef*>(data + consumed);
        zs.avail_in = uInt(chunk);
        if (out.size() - produced < 65536) out.resize(out.size() * 2);
        zs.next_out = out.data() + produced;
        zs.avail_out = uInt(std::min<size_t>(out.size() - produced, 1u << 30));
        const uInt inBefore = zs.avail_in, outBefore = zs.avail_out;
        rc = deflate(&zs, consumed + chunk == size ? Z_FINISH : Z_NO_FLUSH);
        consumed += inBefore - zs.avail_in;
        produced += outBefore - zs.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            deflateEnd(&zs);
            error = QStringLiteral("zlib failed (%1)").arg(rc);
            return false;
        }
    }
    deflateEnd(&zs);
    out.resize(produced);
    return true;
}

} // namespace imaging
