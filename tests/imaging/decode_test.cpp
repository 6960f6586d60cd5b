// The decoders behind the default compression: TIFF photometrics and layouts, and
// JPEG 2000, read back through QPDF's own decoding of the written stream.
#include "tests/imaging/imagingtest.h"
#include "tests/imaging/pdfprobe.h"

#include <QFile>

#include <functional>

namespace {

QByteArray asBytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// The colour samples (without alpha) and the 8-bit alpha of an image.
std::pair<QByteArray, QByteArray> splitAlpha(const fx::Image& im, int colours) {
    QByteArray colour, alpha;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            for (int c = 0; c < colours; ++c) {
                const int v = im.sample(x, y, c);
                if (im.bits == 16) colour.append(char(v >> 8));
                colour.append(char(v & 0xFF));
            }
            if (im.channels > colours) alpha.append(char(im.sample(x, y, colours) >> (im.bits - 8)));
        }
    return {colour, alpha};
}

struct DecodeCase {
    const char* label;
    std::function<fx::TiffPage()> page;
    const char* colourSpace;
    int bpc;
    bool alpha;
};

class TiffDecoding : public ImagingTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(TiffDecoding, SamplesSurviveExactly) {
    const DecodeCase& c = GetParam();
    const fx::TiffPage page = c.page();
    const QString input = path(QStringLiteral("in.tif"));
    ASSERT_TRUE(fx::writeTiff(input, {page}));
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output);
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    ASSERT_EQ(r.closed, 0);
    const probe::PdfInfo pdf = probe::inspect(output);
    const probe::ImageInfo& image = pdf.pages[0].image;
    EXPECT_EQ(image.colourSpace.rfind(c.colourSpace, 0), 0u) << image.colourSpace;
    EXPECT_EQ(image.bpc, c.bpc);
    EXPECT_EQ(pdf.pages[0].softMask.present, c.alpha);
    const int colours = page.photometric == PHOTOMETRIC_RGB         ? 3
                        : page.photometric == PHOTOMETRIC_SEPARATED ? 4
                                                                    : 1;
    auto [colour, alpha] = splitAlpha(page.image, colours);
    if (page.image.bits < 8) colour = asBytes(page.image.data); // samples below 8 bits stay packed
    if (image.filter == "/CCITTFaxDecode") {                    // QPDF does not decode fax data: ask poppler
        const auto images = probe::extractImages(output, 1);
        ASSERT_FALSE(images.empty());
        EXPECT_TRUE(probe::fromQImage(images[0], 1, 1).data == page.image.data);
    } else {
        EXPECT_TRUE(image.decoded == colour) << "samples differ";
    }
    if (c.alpha) {
        EXPECT_TRUE(pdf.pages[0].softMask.decoded == alpha) << "alpha differs";
    }
}

fx::TiffPage make(int w, int h, int channels, int bits, uint16_t photometric,
                  const std::function<void(fx::TiffPage&)>& tweak = {}) {
    fx::TiffPage p;
    p.image = fx::pattern(w, h, channels, bits);
    p.photometric = photometric;
    if (tweak) tweak(p);
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, TiffDecoding,
    ::testing::Values(
        DecodeCase{"grey_lzw_strips",
                   [] {
                       return make(37, 29, 1, 8, PHOTOMETRIC_MINISBLACK, [](fx::TiffPage& p) {
                           p.compression = COMPRESSION_LZW;
                           p.rowsPerStrip = 5;
                       });
                   },
                   "/DeviceGray", 8, false},
        DecodeCase{"grey_min_is_white", [] { return make(20, 11, 1, 8, PHOTOMETRIC_MINISWHITE); },
                   "/DeviceGray", 8, false},
        DecodeCase{"grey_tiled",
                   [] {
                       return make(40, 35, 1, 8, PHOTOMETRIC_MINISBLACK, [](fx::TiffPage& p) {
                           p.tiled = true;
                           p.compression = COMPRESSION_ADOBE_DEFLATE;
                       });
                   },
                   "/DeviceGray", 8, false},
        DecodeCase{"grey2", [] { return make(23, 9, 1, 2, PHOTOMETRIC_MINISBLACK); }, "/DeviceGray", 2,
                   false},
        DecodeCase{"grey16", [] { return make(21, 13, 1, 16, PHOTOMETRIC_MINISBLACK); }, "/DeviceGray", 16,
                   false},
        DecodeCase{"bilevel_packbits",
                   [] {
                       return make(70, 12, 1, 1, PHOTOMETRIC_MINISBLACK,
                                   [](fx::TiffPage& p) { p.compression = COMPRESSION_PACKBITS; });
                   },
                   "/DeviceGray", 1, false},
        DecodeCase{"palette4",
                   [] {
                       return make(19, 7, 1, 4, PHOTOMETRIC_PALETTE, [](fx::TiffPage& p) {
                           for (int i = 0; i < 16; ++i)
                               p.palette.insert(p.palette.end(), {uint8_t(i * 9), uint8_t(i), 7});
                       });
                   },
                   "[/Indexed /DeviceRGB 15", 4, false},
        DecodeCase{"rgb_planar",
                   [] {
                       return make(17, 15, 3, 8, PHOTOMETRIC_RGB,
                                   [](fx::TiffPage& p) { p.planar = PLANARCONFIG_SEPARATE; });
                   },
                   "/DeviceRGB", 8, false},
        DecodeCase{"rgb16", [] { return make(17, 15, 3, 16, PHOTOMETRIC_RGB); }, "/DeviceRGB", 16, false},
        DecodeCase{"rgba_unassociated",
                   [] {
                       return make(18, 14, 4, 8, PHOTOMETRIC_RGB,
                                   [](fx::TiffPage& p) { p.extraSamples = {EXTRASAMPLE_UNASSALPHA}; });
                   },
                   "/DeviceRGB", 8, true},
        DecodeCase{"grey_alpha16",
                   [] {
                       return make(18, 14, 2, 16, PHOTOMETRIC_MINISBLACK,
                                   [](fx::TiffPage& p) { p.extraSamples = {EXTRASAMPLE_UNASSALPHA}; });
                   },
                   "/DeviceGray", 16, true},
        DecodeCase{"cmyk", [] { return make(16, 16, 4, 8, PHOTOMETRIC_SEPARATED); }, "/DeviceCMYK", 8, false},
        DecodeCase{"rgb_extra_unspecified",
                   [] {
                       return make(12, 12, 4, 8, PHOTOMETRIC_RGB,
                                   [](fx::TiffPage& p) { p.extraSamples = {EXTRASAMPLE_UNSPECIFIED}; });
                   },
                   "/DeviceRGB", 8, false}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.label); });

TEST_F(ImagingTest, JpegCompressedYCbCrTiffIsDecodedToRgb) {
    fx::TiffPage page;
    page.image = fx::photo(48, 32, 3);
    page.photometric = PHOTOMETRIC_YCBCR;
    page.compression = COMPRESSION_JPEG;
    const QString input = path(QStringLiteral("in.tif"));
    {
        // libtiff converts RGB to YCbCr itself when told the data is RGB.
        TIFF* t = TIFFOpen(QFile::encodeName(input).constData(), "w");
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 48u);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 32u);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16u);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        for (uint32_t y = 0; y < 32; ++y)
            TIFFWriteScanline(t, page.image.data.data() + y * 48 * 3, y, 0);
        TIFFClose(t);
    }
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output);
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    const probe::ImageInfo image = probe::inspect(output).pages[0].image;
    EXPECT_EQ(image.colourSpace, "/DeviceRGB");
    fx::Image seen{48, 32, 3, 8, {image.decoded.begin(), image.decoded.end()}};
    EXPECT_GT(probe::psnr(seen, page.image), 30.0);
}

struct Jp2Case {
    const char* label;
    fx::Image image;
    bool codestream;
    const char* colourSpace;
    bool alpha;
};

class Jp2Decoding : public ImagingTest, public ::testing::WithParamInterface<Jp2Case> {};

TEST_P(Jp2Decoding, LosslessJpeg2000SurvivesExactly) {
    const Jp2Case& c = GetParam();
    const QString input = write(QStringLiteral("in.jp2"), fx::jp2Bytes(c.image, c.codestream));
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output);
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    const probe::PdfInfo pdf = probe::inspect(output);
    EXPECT_EQ(pdf.pages[0].image.colourSpace, c.colourSpace);
    const auto [colour, alpha] = splitAlpha(c.image, c.alpha ? c.image.channels - 1 : c.image.channels);
    EXPECT_TRUE(pdf.pages[0].image.decoded == colour);
    EXPECT_EQ(pdf.pages[0].softMask.present, c.alpha);
    if (c.alpha) {
        EXPECT_TRUE(pdf.pages[0].softMask.decoded == alpha);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, Jp2Decoding,
    ::testing::Values(Jp2Case{"grey", fx::pattern(33, 21, 1, 8), false, "/DeviceGray", false},
                      Jp2Case{"rgb", fx::pattern(33, 21, 3, 8), false, "/DeviceRGB", false},
                      Jp2Case{"rgba_codestream", fx::pattern(25, 17, 4, 8), true, "/DeviceRGB", true},
                      Jp2Case{"grey16", fx::pattern(20, 10, 1, 16), false, "/DeviceGray", false},
                      // Large enough to be decoded in two bands of rows.
                      Jp2Case{"rgba_in_bands", fx::pattern(1400, 1700, 4, 8), false, "/DeviceRGB", true}),
    [](const ::testing::TestParamInfo<Jp2Case>& info) { return std::string(info.param.label); });

} // namespace

namespace {

// Embedded profiles become ICCBased colour spaces when they describe the data.
struct IccCase {
    const char* label;
    std::function<QByteArray(const QString& scratch)> make;
    const char* colourSpace;
};

class IccProfiles : public ImagingTest, public ::testing::WithParamInterface<IccCase> {};

TEST_P(IccProfiles, EmbeddedWhenTheyMatch) {
    const QString input =
        write(QStringLiteral("in.img"), GetParam().make(path(QStringLiteral("scratch.tif"))));
    const QString output = path(QStringLiteral("out.pdf"));
    ASSERT_EQ(convertImage(input, output).added, 1);
    EXPECT_EQ(probe::inspect(output).pages[0].image.colourSpace, GetParam().colourSpace);
}

QByteArray tiffWithIcc(const QString& scratch, int channels, uint16_t photometric, const char* space) {
    fx::TiffPage p;
    p.image = fx::pattern(8, 8, channels, 8);
    p.photometric = photometric;
    p.icc = fx::iccProfile(space);
    EXPECT_TRUE(fx::writeTiff(scratch, {p}));
    return fx::readBytes(scratch);
}

fx::JpegOptions jpegIcc(const char* space) {
    fx::JpegOptions o;
    o.icc = fx::iccProfile(space);
    return o;
}
fx::PngOptions pngIcc(const char* space) {
    fx::PngOptions o;
    o.icc = fx::iccProfile(space);
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, IccProfiles,
    ::testing::Values(
        IccCase{"tiff_rgb", [](const QString& s) { return tiffWithIcc(s, 3, PHOTOMETRIC_RGB, "RGB "); },
                "[/ICCBased stream N=3]"},
        IccCase{"tiff_cmyk",
                [](const QString& s) { return tiffWithIcc(s, 4, PHOTOMETRIC_SEPARATED, "CMYK"); },
                "[/ICCBased stream N=4]"},
        IccCase{"tiff_mismatch", [](const QString& s) { return tiffWithIcc(s, 3, PHOTOMETRIC_RGB, "GRAY"); },
                "/DeviceRGB"},
        IccCase{"jpeg_rgb",
                [](const QString&) { return fx::jpegBytes(fx::photo(16, 16, 3), jpegIcc("RGB ")); },
                "[/ICCBased stream N=3]"},
        IccCase{"jpeg_grey",
                [](const QString&) { return fx::jpegBytes(fx::photo(16, 16, 1), jpegIcc("GRAY")); },
                "[/ICCBased stream N=1]"},
        IccCase{"png_rgb",
                [](const QString&) { return fx::pngBytes(fx::pattern(8, 8, 3, 8), pngIcc("RGB ")); },
                "[/ICCBased stream N=3]"}),
    [](const ::testing::TestParamInfo<IccCase>& info) { return std::string(info.param.label); });

} // namespace
