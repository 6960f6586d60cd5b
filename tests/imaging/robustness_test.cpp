// Damaged files must fail with a code, never crash, hang or leave output: every reader is
// fed deterministic mutations (flipped bytes, cuts) of valid files. Run it under the
// sanitizer build to catch memory errors the mutations provoke.
#include "platform/imaging/formats/raster.h"
#include "platform/imaging/pdf/streamdata.h"
#include "tests/imaging/imagingtest.h"

#include <QFile>
#include <functional>

namespace {

struct Seed {
    const char* label;
    std::function<QByteArray(const QString& scratch)> make;
};

QByteArray tiffSeed(const QString& scratch, fx::TiffPage page) {
    EXPECT_TRUE(fx::writeTiff(scratch, {page, page}));
    return fx::readBytes(scratch);
}

fx::TiffPage page(int channels, int bits, uint16_t photometric, uint16_t compression) {
    fx::TiffPage p;
    p.image = fx::pattern(24, 16, channels, bits);
    p.photometric = photometric;
    p.compression = compression;
    if (photometric == PHOTOMETRIC_PALETTE) p.palette.assign(size_t(3) << bits, 90);
    return p;
}

class Mutations : public ImagingTest, public ::testing::WithParamInterface<Seed> {};

TEST_P(Mutations, FailCleanlyOrSucceed) {
    const QByteArray seed = GetParam().make(path(QStringLiteral("seed.tif")));
    ASSERT_FALSE(seed.isEmpty());
    uint32_t state = 12345;
    const auto next = [&] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    const QString input = path(QStringLiteral("mutant"));
    const QString output = path(QStringLiteral("out.pdf"));
    for (int round = 0; round < 100; ++round) {
        QByteArray mutant = seed;
        if (round % 4 == 3) {
            mutant.truncate(qsizetype(next() % uint32_t(seed.size())));
        } else {
            const int flips = 1 + int(next() % 8);
            for (int i = 0; i < flips; ++i)
                mutant[qsizetype(next() % uint32_t(seed.size()))] = char(next());
        }
        ASSERT_TRUE(fx::writeBytes(input, mutant));
        for (const char* name : {"", "Lzw"}) {
            const int h = imaging::ApCreate(output);
            imaging::ApSetFunction(h, 123, 1, 0, QString::fromLatin1(name), 0);
            imaging::ApSetFunction(h, 123, 2, 0, QString::fromLatin1(name), 0);
            imaging::ApSetFunction(h, 123, 3, 0, QString::fromLatin1(name), 0);
            const int depth = imaging::ApGetFunction(0, 211, 0, 0, input, 0);
            EXPECT_GE(depth, imaging::ApEncrypted);
            const int added = imaging::ApAddImage(h, input);
            EXPECT_GE(added, imaging::ApEncrypted) << "round " << round;
            if (added > 0) {
                EXPECT_EQ(imaging::ApClose(h), 0) << imaging::ApLastError().toStdString();
            } else {
                imaging::ApDiscard(h);
            }
            QFile::remove(output);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, Mutations,
    ::testing::Values(
        Seed{"tiff_g4",
             [](const QString& s) {
                 return tiffSeed(s, page(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4));
             }},
        Seed{"tiff_lzw_rgb",
             [](const QString& s) { return tiffSeed(s, page(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW)); }},
        Seed{"tiff_deflate_palette",
             [](const QString& s) {
                 return tiffSeed(s, page(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_ADOBE_DEFLATE));
             }},
        Seed{"tiff_packbits_grey16",
             [](const QString& s) {
                 return tiffSeed(s, page(1, 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS));
             }},
        Seed{"jpeg", [](const QString&) { return fx::jpegBytes(fx::photo(32, 24, 3)); }},
        Seed{"jpeg_progressive",
             [](const QString&) {
                 fx::JpegOptions o;
                 o.progressive = true;
                 o.exifOrientation = 6;
                 return fx::jpegBytes(fx::photo(32, 24, 3), o);
             }},
        Seed{"png_rgba", [](const QString&) { return fx::pngBytes(fx::pattern(20, 14, 4, 8)); }},
        Seed{"png_interlaced",
             [](const QString&) {
                 fx::PngOptions o;
                 o.interlace = true;
                 return fx::pngBytes(fx::pattern(20, 14, 1, 8), o);
             }},
        Seed{"jp2", [](const QString&) { return fx::jp2Bytes(fx::pattern(20, 14, 3, 8), false); }},
        Seed{"j2k", [](const QString&) { return fx::jp2Bytes(fx::pattern(20, 14, 1, 8), true); }}),
    [](const ::testing::TestParamInfo<Seed>& info) { return std::string(info.param.label); });

// Pass-through ranges are offsets and lengths read from the file itself: a range whose end
// lies past the file must be refused when it is noted, also when offset plus length wraps.
TEST_F(ImagingTest, SourceRangesBeyondTheFileAreRefused) {
    using imaging::SourceStreamData;
    const QString input = write(QStringLiteral("source.bin"), QByteArray("0123456789abcdef"));
    QString error;
    EXPECT_FALSE(SourceStreamData::create(input, {{~uint64_t(0) - 3, 8}}, false, error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(SourceStreamData::create(input, {{12, 5}}, false, error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    const auto data = SourceStreamData::create(input, {{12, 4}, {0, 2}}, false, error);
    ASSERT_TRUE(data) << error.toStdString();
    EXPECT_EQ(data->bytes(), (std::vector<uint8_t>{'c', 'd', 'e', 'f', '0', '1'}));
}

// A box after the code stream that the decoder never looks at, with an 8-byte length that
// brings the position back to the start of the file when added to it: the resolution
// lookup must stop at it instead of walking the boxes again for ever.
TEST_F(ImagingTest, Jp2BoxLengthThatWrapsAroundIsRefused) {
    QByteArray jp2 = fx::jp2Bytes(fx::pattern(20, 14, 3, 8), false);
    ASSERT_FALSE(jp2.isEmpty());
    const uint64_t length = uint64_t(0) - uint64_t(jp2.size());
    QByteArray box("\0\0\0\1uuid", 8);
    for (int shift = 56; shift >= 0; shift -= 8)
        box += char(uint8_t(length >> shift));
    const QString input = write(QStringLiteral("wrap.jp2"), jp2 + box);
    const Conversion c = convertImage(input, path(QStringLiteral("out.pdf")));
    EXPECT_EQ(c.added, 1) << c.error.toStdString();
    EXPECT_EQ(c.closed, 0) << c.error.toStdString();
}

} // namespace
