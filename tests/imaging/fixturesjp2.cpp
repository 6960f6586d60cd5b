// JPEG 2000 fixtures, written losslessly with OpenJPEG.
#include "tests/imaging/fixtures.h"

#include <cmath>
#include <cstring>
#include <openjpeg.h>

namespace fx {

namespace {

struct Sink {
    QByteArray bytes;
    size_t position = 0;
};

OPJ_SIZE_T writeFn(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* s = static_cast<Sink*>(user);
    if (s->position + n > size_t(s->bytes.size())) s->bytes.resize(qsizetype(s->position + n));
    std::memcpy(s->bytes.data() + s->position, buffer, n);
    s->position += n;
    return n;
}
OPJ_OFF_T skipFn(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<Sink*>(user);
    s->position += size_t(n);
    if (s->position > size_t(s->bytes.size())) s->bytes.resize(qsizetype(s->position));
    return n;
}
OPJ_BOOL seekFn(OPJ_OFF_T n, void* user) {
    static_cast<Sink*>(user)->position = size_t(n);
    return OPJ_TRUE;
}

// Inserts a capture-resolution box (res > resc) into the JP2 header box.
QByteArray withResolution(QByteArray jp2, double dpi) {
    const int at = jp2.indexOf("jp2h");
    if (at < 4) return jp2;
    const double ppm = dpi / 0.0254;
    const auto num = uint16_t(std::lround(ppm / 10)); // num / 1 * 10^1
    QByteArray resc("\0\0\0\x12resc", 8);
    for (int i = 0; i < 2; ++i)
        resc.append(char(num >> 8)).append(char(num & 0xFF)).append('\0').append('\1');
    resc.append('\1').append('\1');
    QByteArray res("\0\0\0\0res ", 8);
    res.append(resc);
    res[3] = char(res.size());
    const int boxStart = at - 4;
    auto be32 = [&](int p) {
        return uint32_t(uint8_t(jp2[p])) << 24 | uint32_t(uint8_t(jp2[p + 1])) << 16 |
               uint32_t(uint8_t(jp2[p + 2])) << 8 | uint8_t(jp2[p + 3]);
    };
    const uint32_t len = be32(boxStart) + uint32_t(res.size());
    jp2.insert(boxStart + int(be32(boxStart)), res);
    jp2[boxStart] = char(len >> 24);
    jp2[boxStart + 1] = char(len >> 16);
    jp2[boxStart + 2] = char(len >> 8);
    jp2[boxStart + 3] = char(len);
    return jp2;
}

} // namespace

QByteArray jp2Bytes(const Image& image, bool codestream, double dpi) {
    std::vector<opj_image_cmptparm_t> parms(size_t(image.channels));
    for (auto& p : parms) {
        std::memset(&p, 0, sizeof p);
        p.dx = p.dy = 1;
        p.w = OPJ_UINT32(image.width);
        p.h = OPJ_UINT32(image.height);
        p.prec = OPJ_UINT32(image.bits);
    }
    const OPJ_COLOR_SPACE space = image.channels >= 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY;
    opj_image_t* img = opj_image_create(OPJ_UINT32(image.channels), parms.data(), space);
    img->x1 = OPJ_UINT32(image.width);
    img->y1 = OPJ_UINT32(image.height);
    for (int c = 0; c < image.channels; ++c)
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                img->comps[c].data[size_t(y) * size_t(image.width) + size_t(x)] = image.sample(x, y, c);
    if (image.channels == 2 || image.channels == 4) img->comps[image.channels - 1].alpha = 1;
    opj_cparameters_t cp;
    opj_set_default_encoder_parameters(&cp);
    cp.tcp_numlayers = 1;
    cp.tcp_rates[0] = 0; // lossless
    cp.cp_disto_alloc = 1;
    cp.irreversible = 0;
    cp.numresolution = 3;
    opj_codec_t* codec = opj_create_compress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    opj_setup_encoder(codec, &cp, img);
    Sink sink;
    opj_stream_t* stream = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_user_data(stream, &sink, nullptr);
    opj_stream_set_write_function(stream, writeFn);
    opj_stream_set_skip_function(stream, skipFn);
    opj_stream_set_seek_function(stream, seekFn);
    const bool ok = opj_start_compress(codec, img, stream) && opj_encode(codec, stream) &&
                    opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(img);
    if (!ok) return {};
    return !codestream && dpi > 0 ? withResolution(sink.bytes, dpi) : sink.bytes;
}

} // namespace fx
