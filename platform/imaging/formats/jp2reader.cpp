#include "platform/imaging/formats/jp2reader.h"

#include "platform/imaging/encoders/pageencoder.h"
#include "platform/imaging/formats/sourcefile.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <openjpeg.h>

namespace imaging {

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t position;
    char message[256];
};

OPJ_SIZE_T readFn(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* s = static_cast<Source*>(user);
    if (s->position >= s->size) return OPJ_SIZE_T(-1);
    const size_t count = std::min<size_t>(n, s->size - s->position);
    std::memcpy(buffer, s->data + s->position, count);
    s->position += count;
    return count;
}

OPJ_OFF_T skipFn(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<Source*>(user);
    const size_t target =
        std::min<size_t>(s->size, size_t(std::max<OPJ_OFF_T>(0, OPJ_OFF_T(s->position) + n)));
    const OPJ_OFF_T moved = OPJ_OFF_T(target) - OPJ_OFF_T(s->position);
    s->position = target;
    return moved;
}

OPJ_BOOL seekFn(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<Source*>(user);
    if (n < 0 || size_t(n) > s->size) return OPJ_FALSE;
    s->position = size_t(n);
    return OPJ_TRUE;
}

void onError(const char* msg, void* user) {
    auto* s = static_cast<Source*>(user);
    if (!s->message[0]) std::snprintf(s->message, sizeof s->message, "%s", msg);
}

void quiet(const char*, void*) {}

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Owns the codec, stream and image of one decode.
struct Decoder {
    opj_codec_t* codec = nullptr;
    opj_stream_t* stream = nullptr;
    opj_image_t* image = nullptr;
    ~Decoder() {
        if (image) opj_image_destroy(image);
        if (stream) opj_stream_destroy(stream);
        if (codec) opj_destroy_codec(codec);
    }
};

// OpenJPEG sets up kilobytes of coding parameters for every tile the size marker claims,
// before it reads any tile. Every tile has at least one tile-part, whose SOT and SOD markers
// take 14 bytes: a claim of more tiles than that is refused before OpenJPEG sees it.
bool tilesFitTheFile(const uint8_t* d, size_t n) {
    static const uint8_t socSiz[4] = {0xFF, 0x4F, 0xFF, 0x51}; // SIZ always follows SOC
    const uint8_t* at = std::search(d, d + n, socSiz, socSiz + 4);
    if (size_t(d + n - at) < 42) return true; // no size marker to read: OpenJPEG refuses the file
    const uint64_t width = be32(at + 8), height = be32(at + 12), tileWidth = be32(at + 24),
                   tileHeight = be32(at + 28), tileX = be32(at + 32), tileY = be32(at + 36);
    if (tileWidth == 0 || tileHeight == 0 || width <= tileX || height <= tileY) return true;
    const uint64_t tiles = ((width - tileX + tileWidth - 1) / tileWidth) * ((height - tileY + tileHeight - 1) / tileHeight);
    return tiles <= n / 14;
}

int openHeader(Decoder& dec, Source& src, bool codestream, QString& error) {
    if (!tilesFitTheFile(src.data, src.size)) {
        error = QStringLiteral("the JPEG 2000 header claims more tiles than the file holds");
        return ApCorrupt;
    }
    dec.codec = opj_create_decompress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    opj_set_error_handler(dec.codec, onError, &src);
    opj_set_warning_handler(dec.codec, quiet, &src);
    opj_set_info_handler(dec.codec, quiet, &src);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    dec.stream = opj_stream_create(1 << 16, OPJ_TRUE);
    opj_stream_set_user_data(dec.stream, &src, nullptr);
    opj_stream_set_user_data_length(dec.stream, src.size);
    opj_stream_set_read_function(dec.stream, readFn);
    opj_stream_set_skip_function(dec.stream, skipFn);
    opj_stream_set_seek_function(dec.stream, seekFn);
    // Strict: a code stream that ends before its last packet is an error, not an image made
    // up from what little the file holds.
    if (!opj_setup_decoder(dec.codec, &params) || !opj_decoder_set_strict_mode(dec.codec, OPJ_TRUE) ||
        !opj_read_header(dec.stream, dec.codec, &dec.image) ||
        !dec.image || dec.image->numcomps == 0) {
        error = QStringLiteral("damaged JPEG 2000 header: %1").arg(QString::fromLatin1(src.message));
        return ApCorrupt;
    }
    return ApOk;
}

// The page's model and depth from the components: up to 8 bits become 8, more become 16.
int startRaster(const opj_image_t* img, RasterPage& page, QString& error) {
    const int n = int(img->numcomps);
    const bool cmyk = img->color_space == OPJ_CLRSPC_CMYK && n >= 4;
    const int colours = cmyk ? 4 : n >= 3 ? 3 : 1;
    int maxPrec = 0;
    for (int c = 0; c < n; ++c) {
        if (img->comps[c].dx == 0 || img->comps[c].dy == 0 || img->comps[c].prec == 0 || img->comps[c].prec > 16) {
            error = QStringLiteral("unsupported JPEG 2000 component layout");
            return ApUnsupported;
        }
        if (c < colours) maxPrec = std::max<int>(maxPrec, int(img->comps[c].prec));
    }
    page.width = int(img->x1 - img->x0);
    page.height = int(img->y1 - img->y0);
    page.model = colours == 1 ? ColourModel::Gray : colours == 3 ? ColourModel::RGB : ColourModel::CMYK;
    page.bitsPerComponent = maxPrec > 8 ? 16 : 8;
    page.pixels.reserve(size_t(page.width) * size_t(page.height) * size_t(colours) * size_t(maxPrec > 8 ? 2 : 1));
    if (n > colours)
        page.alpha.reserve(size_t(page.width) * size_t(page.height));
    return ApOk;
}

// Appends the rows `img` holds (the whole image, or a band of it) to the page: subsampled
// components are repeated, sYCC is turned into RGB, a component past the colours is alpha.
int appendRows(const opj_image_t* img, RasterPage& page, QString& error) {
    const uint32_t w = img->x1 - img->x0, h = img->y1 - img->y0;
    const int n = int(img->numcomps);
    const int colours = page.components();
    const bool alpha = n > colours;
    for (int c = 0; c < n; ++c)
        if (!img->comps[c].data) {
            error = QStringLiteral("unsupported JPEG 2000 component layout");
            return ApUnsupported;
        }
    const int bytes = page.bitsPerComponent / 8;
    const size_t first = page.pixels.size();
    page.pixels.resize(first + size_t(w) * h * size_t(colours) * size_t(bytes));
    uint8_t* out = page.pixels.data() + first;
    uint8_t* alphaOut = nullptr;
    if (alpha) {
        const size_t at = page.alpha.size();
        page.alpha.resize(at + size_t(w) * h);
        alphaOut = page.alpha.data() + at;
    }
    const bool ycc = img->color_space == OPJ_CLRSPC_SYCC && colours == 3;
    auto sample = [&](int c, uint32_t x, uint32_t y) -> double { // 0..1
        const opj_image_comp_t& k = img->comps[c];
        const uint32_t cx = std::min(x / k.dx, k.w ? k.w - 1 : 0), cy = std::min(y / k.dy, k.h ? k.h - 1 : 0);
        int v = k.data[size_t(cy) * k.w + cx];
        if (k.sgnd) v += 1 << (k.prec - 1);
        return std::clamp(double(v) / double((1u << k.prec) - 1), 0.0, 1.0);
    };
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            double v[4] = {};
            for (int c = 0; c < colours; ++c)
                v[c] = sample(c, x, y);
            if (ycc) {
                const double Y = v[0], cb = v[1] - 0.5, cr = v[2] - 0.5;
                v[0] = std::clamp(Y + 1.402 * cr, 0.0, 1.0);
                v[1] = std::clamp(Y - 0.344136 * cb - 0.714136 * cr, 0.0, 1.0);
                v[2] = std::clamp(Y + 1.772 * cb, 0.0, 1.0);
            }
            const size_t at = (size_t(y) * w + x) * size_t(colours);
            for (int c = 0; c < colours; ++c) {
                if (bytes == 2) {
                    const auto s = uint16_t(std::lround(v[c] * 65535));
                    out[2 * (at + size_t(c))] = uint8_t(s >> 8);
                    out[2 * (at + size_t(c)) + 1] = uint8_t(s);
                } else {
                    out[at + size_t(c)] = uint8_t(std::lround(v[c] * 255));
                }
            }
            if (alpha) alphaOut[size_t(y) * w + x] = uint8_t(std::lround(sample(colours, x, y) * 255));
        }
    if (img->icc_profile_buf && img->icc_profile_len && page.icc.isEmpty())
        page.icc =
            QByteArray(reinterpret_cast<const char*>(img->icc_profile_buf), qsizetype(img->icc_profile_len));
    return ApOk;
}

// Rows decoded at a time from a single-tile image: OpenJPEG keeps four bytes per sample,
// so the whole tile at once would cost four times the page.
uint32_t bandRows(const opj_codec_t* codec, const opj_image_t* img) {
    opj_codestream_info_v2_t* info = opj_get_cstr_info(const_cast<opj_codec_t*>(codec));
    const bool singleTile = info && info->tw == 1 && info->th == 1;
    opj_destroy_cstr_info(&info);
    for (uint32_t c = 0; c < img->numcomps; ++c)
        if (img->comps[c].dx != 1 || img->comps[c].dy != 1)
            return 0;
    const uint64_t rowBytes = uint64_t(img->x1 - img->x0) * img->numcomps * 4;
    const uint64_t rows = std::max<uint64_t>(64, (uint64_t(32) << 20) / std::max<uint64_t>(rowBytes, 1)) / 64 * 64;
    return singleTile && rows < uint64_t(img->y1 - img->y0) ? uint32_t(rows) : 0;
}

} // namespace

void jp2Resolution(const uint8_t* d, size_t n, double& dpiX, double& dpiY) {
    // Boxes of interest nest as jp2h > res > resc | resd.
    double found[2][2] = {};
    auto walk = [&](auto&& self, size_t from, size_t to) -> void {
        size_t pos = from;
        while (pos + 8 <= to) {
            uint64_t len = be32(d + pos);
            size_t header = 8;
            if (len == 1 && pos + 16 <= to) {
                len = uint64_t(be32(d + pos + 8)) << 32 | be32(d + pos + 12);
                header = 16;
            } else if (len == 0) {
                len = to - pos;
            }
            // An 8-byte length can be anything: compared so that pos + len cannot wrap around
            // and send the walk back to the start for ever.
            if (len < header || len > to - pos) return;
            const uint8_t* type = d + pos + 4;
            if (std::memcmp(type, "jp2h", 4) == 0 || std::memcmp(type, "res ", 4) == 0) {
                self(self, pos + header, pos + size_t(len));
            } else if ((std::memcmp(type, "resc", 4) == 0 || std::memcmp(type, "resd", 4) == 0) &&
                       len >= header + 10) {
                const uint8_t* b = d + pos + header;
                const auto num = [&](int i) { return double(b[i] << 8 | b[i + 1]); };
                const double vd = num(2), hd = num(6);
                if (vd > 0 && hd > 0) {
                    const int k = type[3] == 'c' ? 0 : 1;
                    found[k][1] = num(0) / vd * std::pow(10.0, int8_t(b[8])) * 0.0254;
                    found[k][0] = num(4) / hd * std::pow(10.0, int8_t(b[9])) * 0.0254;
                }
            }
            pos += size_t(len);
        }
    };
    walk(walk, 0, n);
    const int k = found[0][0] > 0 ? 0 : 1;
    dpiX = found[k][0];
    dpiY = found[k][1];
}

int decodeJp2(const QString& path, bool codestream, RasterPage& raster, QString& error) {
    std::vector<uint8_t> bytes;
    if (const int rc = readWholeFile(path, bytes, error); rc != ApOk) return rc;
    Source src{bytes.data(), bytes.size(), 0, {}};
    Decoder dec;
    int rc = openHeader(dec, src, codestream, error);
    if (rc == ApOk) {
        const opj_image_t* img = dec.image;
        const int64_t w = int64_t(img->x1) - img->x0, h = int64_t(img->y1) - img->y0;
        if (w <= 0 || h <= 0) {
            error = QStringLiteral("JPEG 2000 image without pixels");
            rc = ApCorrupt;
        } else if (w > kMaxSide || h > kMaxSide ||
                   w * h * (img->numcomps + int64_t(img->numcomps) * 4) > kMaxDecodedBytes) {
            error = QStringLiteral("%1 x %2 pixels is over the limits").arg(w).arg(h);
            rc = ApOverLimits;
        }
    }
    raster = RasterPage{};
    if (rc == ApOk) rc = startRaster(dec.image, raster, error);
    if (rc == ApOk) {
        opj_image_t* img = dec.image;
        const uint32_t band = bandRows(dec.codec, img);
        const int32_t x0 = int32_t(img->x0), y0 = int32_t(img->y0), x1 = int32_t(img->x1), y1 = int32_t(img->y1);
        bool ok = true;
        if (band == 0) {
            ok = opj_decode(dec.codec, dec.stream, img) && (rc = appendRows(img, raster, error)) == ApOk;
        } else {
            for (int32_t y = y0; ok && rc == ApOk && y < y1; y += int32_t(band)) {
                ok = opj_set_decode_area(dec.codec, img, x0, y, x1, std::min(y1, y + int32_t(band))) &&
                     opj_decode(dec.codec, dec.stream, img);
                if (ok) rc = appendRows(img, raster, error);
            }
        }
        if (rc == ApOk && (!ok || !opj_end_decompress(dec.codec, dec.stream))) {
            error = QStringLiteral("damaged JPEG 2000 data: %1").arg(QString::fromLatin1(src.message));
            rc = ApCorrupt;
        }
    }
    if (rc != ApOk) {
        error = QStringLiteral("%1: %2").arg(path, error);
        raster = RasterPage{};
        return rc;
    }
    int depth = 0;
    for (uint32_t c = 0; c < dec.image->numcomps; ++c)
        depth += int(dec.image->comps[c].prec);
    raster.storedBitsPerPixel = depth;
    if (!codestream) jp2Resolution(src.data, src.size, raster.dpiX, raster.dpiY);
    return ApOk;
}

int readJp2Page(const QString& path, bool codestream, const CompressionChoice& choice, StreamStore& store,
                std::vector<EncodedPage>& pages, QString& error) {
    RasterPage raster;
    if (const int rc = decodeJp2(path, codestream, raster, error); rc != ApOk) return rc;
    EncodedPage page;
    if (const int rc =
            encodeRasterPage(raster, choice.forDepth(raster.storedBitsPerPixel), 1, store, page, error);
        rc != ApOk)
        return rc;
    pages.push_back(std::move(page));
    return 1;
}

int jp2BitsPerPixel(const QString& path, bool codestream, QString& error) {
    std::vector<uint8_t> bytes;
    if (const int rc = readWholeFile(path, bytes, error); rc != ApOk) return rc;
    Source src{bytes.data(), bytes.size(), 0, {}};
    Decoder dec;
    if (const int rc = openHeader(dec, src, codestream, error); rc != ApOk) return rc;
    int depth = 0;
    for (uint32_t c = 0; c < dec.image->numcomps; ++c)
        depth += int(dec.image->comps[c].prec);
    return depth;
}

} // namespace imaging
