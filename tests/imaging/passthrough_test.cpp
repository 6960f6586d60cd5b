// Sources whose compressed data goes into the PDF unchanged: JPEG, single-strip Group 4
// TIFF and PNG image data; and what happens when the name forbids it.
#include "platform/imaging/formats/raster.h"
#include "tests/imaging/imagingtest.h"
#include "tests/imaging/pdfprobe.h"

#include <QFile>
#include <zlib.h>

namespace {

QByteArray idatOf(const QByteArray& png) {
    QByteArray out;
    int pos = 8;
    while (pos + 12 <= png.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(png.constData() + pos);
        const int len = int(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
        if (png.mid(pos + 4, 4) == "IDAT") out += png.mid(pos + 8, len);
        pos += 12 + len;
    }
    return out;
}

struct JpegCase {
    const char* label;
    int channels;
    fx::JpegOptions options;
    const char* colourSpace;
    const char* decode;
    const char* appended; // bytes after the image's EOI
};

class JpegPassThrough : public ImagingTest, public ::testing::WithParamInterface<JpegCase> {};

TEST_P(JpegPassThrough, BytesUnchangedUpToTheImageEnd) {
    const JpegCase& c = GetParam();
    const QByteArray jpeg = fx::jpegBytes(fx::photo(48, 32, c.channels), c.options);
    ASSERT_FALSE(jpeg.isEmpty());
    const QString input = write(QStringLiteral("in.jpg"), jpeg + QByteArray(c.appended));
    for (const char* name : {"", "Jpeg"}) {
        const QString output = path(QStringLiteral("out.pdf"));
        const int colourClass = c.channels == 1 ? 2 : 3;
        const Conversion r = convertImage(input, output, colourClass, QString::fromLatin1(name));
        ASSERT_EQ(r.added, 1) << r.error.toStdString();
        ASSERT_EQ(r.closed, 0);
        const probe::PdfInfo pdf = probe::inspect(output);
        ASSERT_TRUE(pdf.ok);
        const probe::ImageInfo& image = pdf.pages[0].image;
        EXPECT_EQ(image.filter, "/DCTDecode");
        EXPECT_TRUE(image.raw == jpeg) << "the JPEG must be passed through byte for byte";
        EXPECT_EQ(image.colourSpace, c.colourSpace);
        EXPECT_EQ(image.decode, c.decode);
        EXPECT_TRUE(probe::qpdfCheck(output));
    }
}

fx::JpegOptions progressive() {
    fx::JpegOptions o;
    o.progressive = true;
    return o;
}
fx::JpegOptions adobeCmyk() {
    fx::JpegOptions o;
    o.adobeInvertedCmyk = true;
    return o;
}
fx::JpegOptions exifThumbnail() {
    fx::JpegOptions o;
    o.thumbnailInExif = true;
    o.exifOrientation = 1;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, JpegPassThrough,
    ::testing::Values(JpegCase{"grey", 1, {}, "/DeviceGray", "", ""},
                      JpegCase{"rgb", 3, {}, "/DeviceRGB", "", ""},
                      JpegCase{"progressive", 3, progressive(), "/DeviceRGB", "", ""},
                      JpegCase{"exif_thumbnail", 3, exifThumbnail(), "/DeviceRGB", "", ""},
                      JpegCase{"trailing_bytes", 3, {}, "/DeviceRGB", "", "trailing garbage"},
                      JpegCase{"adobe_cmyk", 4, adobeCmyk(), "/DeviceCMYK", "[ 1 0 1 0 1 0 1 0 ]", ""}),
    [](const ::testing::TestParamInfo<JpegCase>& info) { return std::string(info.param.label); });

TEST_F(ImagingTest, JpegWithALosslessNameIsDecodedAndReencoded) {
    const fx::Image source = fx::photo(40, 24, 3);
    const QString input = write(QStringLiteral("in.jpg"), fx::jpegBytes(source, {}));
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output, 3, QStringLiteral("Lzw"));
    ASSERT_EQ(r.added, 1);
    const probe::PdfInfo pdf = probe::inspect(output);
    EXPECT_EQ(pdf.pages[0].image.filter, "/LZWDecode");
    const auto images = probe::extractImages(output, 1);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_GT(probe::psnr(probe::fromQImage(images[0], 3, 8), source), 30.0);
}

// A frame that claims far more blocks than its coded data can hold (at least a bit each) is
// a file whose image data is missing: refused whether it would be passed through or decoded,
// not written as a page that shows a sliver of picture on a huge grey field.
TEST_F(ImagingTest, JpegClaimingMoreBlocksThanItsDataHoldsIsRefusedForEveryCompression) {
    QByteArray jpeg = fx::jpegBytes(fx::photo(48, 32, 3), {});
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    jpeg[sof + 5] = char(0x0F); // height 4000
    jpeg[sof + 6] = char(0xA0);
    jpeg[sof + 7] = char(0x17); // width 6000
    jpeg[sof + 8] = char(0x70);
    const QString input = write(QStringLiteral("in.jpg"), jpeg);
    for (const char* name : {"", "Jpeg", "Lzw"}) {
        SCOPED_TRACE(name);
        const QString output = path(QStringLiteral("out.pdf"));
        const Conversion r = convertImage(input, output, 3, QString::fromLatin1(name));
        EXPECT_EQ(r.added, imaging::ApCorrupt) << r.error.toStdString();
        EXPECT_FALSE(QFile::exists(output));
    }
}

// The same for PNG image data: deflate gives at most 1032 bytes for one, so data far too
// short for the rows the header claims is missing, and is not passed through as such a page.
TEST_F(ImagingTest, PngClaimingMoreRowsThanItsDataCanHoldIsRefusedForEveryCompression) {
    QByteArray png = fx::pngBytes(fx::photo(48, 32, 3));
    ASSERT_EQ(png.mid(12, 4), "IHDR");
    png[18] = char(0x0F); // width 4000
    png[19] = char(0xA0);
    png[22] = char(0x0F); // height 4000
    png[23] = char(0xA0);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17);
    for (int i = 0; i < 4; ++i)
        png[29 + i] = char(crc >> (24 - 8 * i));
    const QString input = write(QStringLiteral("in.png"), png);
    for (const char* name : {"", "Zip", "Lzw"}) {
        SCOPED_TRACE(name);
        const QString output = path(QStringLiteral("out.pdf"));
        const Conversion r = convertImage(input, output, 3, QString::fromLatin1(name));
        EXPECT_EQ(r.added, imaging::ApCorrupt) << r.error.toStdString();
        EXPECT_FALSE(QFile::exists(output));
    }
}

struct G4Case {
    const char* label;
    uint16_t photometric;
    uint16_t fillOrder;
    uint32_t rowsPerStrip; // 0: one strip
    const char* name;
    bool passedThrough;
};

class Group4 : public ImagingTest, public ::testing::WithParamInterface<G4Case> {};

TEST_P(Group4, SingleStripPassesThroughOtherwiseReencoded) {
    const G4Case& c = GetParam();
    fx::TiffPage page;
    page.image = fx::pattern(203, 97, 1, 1);
    page.photometric = c.photometric;
    page.compression = COMPRESSION_CCITTFAX4;
    page.fillOrder = c.fillOrder;
    page.rowsPerStrip = c.rowsPerStrip;
    const QString input = path(QStringLiteral("in.tif"));
    ASSERT_TRUE(fx::writeTiff(input, {page}));
    QByteArray strip;
    {
        TIFF* t = TIFFOpen(QFile::encodeName(input).constData(), "r");
        ASSERT_TRUE(t);
        strip.resize(qsizetype(TIFFRawStripSize(t, 0)));
        TIFFReadRawStrip(t, 0, strip.data(), strip.size());
        TIFFClose(t);
    }
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output, 1, QString::fromLatin1(c.name));
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    ASSERT_EQ(r.closed, 0);
    const probe::PdfInfo pdf = probe::inspect(output);
    const probe::ImageInfo& image = pdf.pages[0].image;
    EXPECT_EQ(image.filter, "/CCITTFaxDecode");
    EXPECT_EQ(image.parms.at("/K"), "-1");
    if (c.passedThrough) {
        QByteArray expected = strip;
        if (c.fillOrder == FILLORDER_LSB2MSB)
            for (char& b : expected) {
                uint8_t v = uint8_t(b), rev = 0;
                for (int i = 0; i < 8; ++i)
                    if (v & (1 << i)) rev |= uint8_t(0x80 >> i);
                b = char(rev);
            }
        EXPECT_TRUE(image.raw == expected) << "the strip must be passed through";
        EXPECT_EQ(image.parms.count("/BlackIs1") ? image.parms.at("/BlackIs1") : "false",
                  c.photometric == PHOTOMETRIC_MINISBLACK ? "true" : "false");
    }
    const auto images = probe::extractImages(output, 1);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_TRUE(probe::fromQImage(images[0], 1, 1).data == page.image.data) << "pixels differ";
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, Group4,
    ::testing::Values(G4Case{"white_is_zero", PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, 0, "", true},
                      G4Case{"black_is_zero", PHOTOMETRIC_MINISBLACK, FILLORDER_MSB2LSB, 0, "CCITT-G4", true},
                      G4Case{"fill_order_reversed", PHOTOMETRIC_MINISWHITE, FILLORDER_LSB2MSB, 0, "", true},
                      G4Case{"several_strips", PHOTOMETRIC_MINISWHITE, FILLORDER_MSB2LSB, 16, "", false}),
    [](const ::testing::TestParamInfo<G4Case>& info) { return std::string(info.param.label); });

struct PngCase {
    const char* label;
    fx::Image image;
    fx::PngOptions options;
    const char* name; // for the image's own class
    bool passedThrough;
    const char* colourSpace;
    bool softMask;
    std::string version; // at least
};

class PngSources : public ImagingTest, public ::testing::WithParamInterface<PngCase> {};

TEST_P(PngSources, PassThroughOrDecodeWithExactPixels) {
    const PngCase& c = GetParam();
    const QByteArray png = fx::pngBytes(c.image, c.options);
    ASSERT_FALSE(png.isEmpty());
    const QString input = write(QStringLiteral("in.png"), png);
    const QString output = path(QStringLiteral("out.pdf"));
    const int depth = c.image.bits * (c.options.colourType == 3 ? 1 : c.image.channels);
    const int colourClass = depth == 1 ? 1 : depth == 8 ? 2 : depth == 24 ? 3 : 0;
    const Conversion r = convertImage(input, output, colourClass, QString::fromLatin1(c.name));
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    ASSERT_EQ(r.closed, 0);
    const probe::PdfInfo pdf = probe::inspect(output);
    const probe::ImageInfo& image = pdf.pages[0].image;
    EXPECT_EQ(image.raw == idatOf(png), c.passedThrough);
    EXPECT_EQ(image.colourSpace.rfind(c.colourSpace, 0), 0u) << image.colourSpace;
    EXPECT_EQ(pdf.pages[0].softMask.present, c.softMask);
    EXPECT_GE(pdf.version, c.version);
    EXPECT_TRUE(probe::qpdfCheck(output));

    const auto images = probe::extractImages(output, 1);
    ASSERT_EQ(images.size(), c.softMask ? 2u : 1u);
    const bool alpha = c.image.channels == 2 || c.image.channels == 4;
    const int colours = c.options.colourType == 3 ? 3 : alpha ? c.image.channels - 1 : c.image.channels;
    fx::Image expected{
        c.image.width, c.image.height, colours, c.options.colourType == 3 ? 8 : c.image.bits, {}};
    fx::Image expectedAlpha{c.image.width, c.image.height, 1, 8, {}};
    for (int y = 0; y < c.image.height; ++y)
        for (int x = 0; x < c.image.width; ++x) {
            if (c.options.colourType == 3) {
                const int index = c.image.sample(x, y, 0);
                for (int k = 0; k < 3; ++k)
                    expected.data.push_back(c.options.palette[size_t(index) * 3 + size_t(k)]);
                expectedAlpha.data.push_back(
                    size_t(index) < c.options.trns.size() ? c.options.trns[size_t(index)] : 255);
                continue;
            }
            if (alpha)
                expectedAlpha.data.push_back(uint8_t(c.image.sample(x, y, colours) >> (c.image.bits - 8)));
        }
    if (c.options.colourType != 3) {
        expected = c.image;
        if (alpha) { // drop the alpha samples
            expected.channels = colours;
            expected.data.clear();
            for (int y = 0; y < c.image.height; ++y)
                for (int x = 0; x < c.image.width; ++x)
                    for (int k = 0; k < colours; ++k) {
                        const int v = c.image.sample(x, y, k);
                        if (c.image.bits == 16) expected.data.push_back(uint8_t(v >> 8));
                        expected.data.push_back(uint8_t(v));
                    }
        }
    }
    if (expected.bits == 16) { // poppler reduces 16-bit grey to 8 bits: compare QPDF's decoding
        EXPECT_TRUE(image.decoded == QByteArray(reinterpret_cast<const char*>(expected.data.data()),
                                                qsizetype(expected.data.size())))
            << "samples differ";
    } else {
        EXPECT_TRUE(probe::fromQImage(images[0], expected.channels, expected.bits).data == expected.data)
            << "pixels differ";
    }
    if (c.softMask) {
        EXPECT_TRUE(probe::fromQImage(images[1], 1, 8).data == expectedAlpha.data) << "alpha differs";
    }
}

fx::PngOptions interlaced() {
    fx::PngOptions o;
    o.interlace = true;
    return o;
}
fx::PngOptions paletteOptions(bool transparent) {
    fx::PngOptions o;
    o.colourType = 3;
    for (int i = 0; i < 16; ++i) {
        o.palette.push_back(uint8_t(i * 16));
        o.palette.push_back(uint8_t(255 - i * 16));
        o.palette.push_back(uint8_t(i * 5));
    }
    if (transparent) o.trns = {0, 128, 255, 40};
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, PngSources,
    ::testing::Values(
        PngCase{"grey_default", fx::pattern(50, 30, 1, 8), {}, "", true, "/DeviceGray", false, "1.4"},
        PngCase{"grey_zip", fx::pattern(50, 30, 1, 8), {}, "Zip", true, "/DeviceGray", false, "1.4"},
        PngCase{"grey_lzw", fx::pattern(50, 30, 1, 8), {}, "Lzw", false, "/DeviceGray", false, "1.4"},
        PngCase{"rgb_default", fx::pattern(41, 23, 3, 8), {}, "", true, "/DeviceRGB", false, "1.4"},
        PngCase{"rgb_interlaced", fx::pattern(41, 23, 3, 8), interlaced(), "", false, "/DeviceRGB", false,
                "1.4"},
        PngCase{"grey16", fx::pattern(31, 17, 1, 16), {}, "", true, "/DeviceGray", false, "1.5"},
        PngCase{"rgb16", fx::pattern(31, 17, 3, 16), {}, "", true, "/DeviceRGB", false, "1.5"},
        PngCase{"palette4", fx::pattern(27, 19, 1, 4), paletteOptions(false), "", true,
                "[/Indexed /DeviceRGB 15", false, "1.4"},
        PngCase{"palette4_trns", fx::pattern(27, 19, 1, 4), paletteOptions(true), "", false,
                "[/Indexed /DeviceRGB 15", true, "1.4"},
        PngCase{"grey_alpha", fx::pattern(25, 21, 2, 8), {}, "", false, "/DeviceGray", true, "1.4"},
        PngCase{"rgba", fx::pattern(25, 21, 4, 8), {}, "", false, "/DeviceRGB", true, "1.4"},
        PngCase{"rgba16", fx::pattern(25, 21, 4, 16), {}, "", false, "/DeviceRGB", true, "1.5"}),
    [](const ::testing::TestParamInfo<PngCase>& info) { return std::string(info.param.label); });

} // namespace
