// Code 211: the depth of the first page as the file stores it, and recognition by content.
#include "platform/imaging/formats/sniff.h"
#include "tests/imaging/imagingtest.h"

#include <functional>

namespace {

struct DepthCase {
    const char* label;
    std::function<QByteArray(const QString& scratch)> make;
    int expected;
};

QByteArray tiffBytes(const QString& scratch, fx::TiffPage page) {
    EXPECT_TRUE(fx::writeTiff(scratch, {page}));
    return fx::readBytes(scratch);
}

fx::TiffPage tiffPage(int channels, int bits, uint16_t photometric, std::vector<uint16_t> extra = {}) {
    fx::TiffPage p;
    p.image = fx::pattern(9, 7, channels, bits);
    p.photometric = photometric;
    p.extraSamples = std::move(extra);
    if (photometric == PHOTOMETRIC_PALETTE) p.palette.assign(size_t(3) << bits, 128);
    return p;
}

fx::PngOptions palettePng() {
    fx::PngOptions o;
    o.colourType = 3;
    o.palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    return o;
}

class BitsPerPixel : public ImagingTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(BitsPerPixel, AnswersTheStoredDepth) {
    const DepthCase& c = GetParam();
    const QString file = path(QStringLiteral("image.bin"));
    const QByteArray bytes = c.make(path(QStringLiteral("scratch.tif")));
    ASSERT_TRUE(fx::writeBytes(file, bytes));
    EXPECT_EQ(imaging::ApGetFunction(0, 211, 0, 0, file, 0), c.expected)
        << imaging::ApLastError().toStdString();
}

const uint16_t kUnassoc = EXTRASAMPLE_UNASSALPHA;

INSTANTIATE_TEST_SUITE_P(
    Imaging, BitsPerPixel,
    ::testing::Values(
        DepthCase{"tiff_bilevel",
                  [](const QString& s) { return tiffBytes(s, tiffPage(1, 1, PHOTOMETRIC_MINISWHITE)); }, 1},
        DepthCase{"tiff_grey",
                  [](const QString& s) { return tiffBytes(s, tiffPage(1, 8, PHOTOMETRIC_MINISBLACK)); }, 8},
        DepthCase{"tiff_grey16",
                  [](const QString& s) { return tiffBytes(s, tiffPage(1, 16, PHOTOMETRIC_MINISBLACK)); }, 16},
        DepthCase{
            "tiff_grey_alpha",
            [](const QString& s) { return tiffBytes(s, tiffPage(2, 8, PHOTOMETRIC_MINISBLACK, {kUnassoc})); },
            16},
        DepthCase{"tiff_palette4",
                  [](const QString& s) { return tiffBytes(s, tiffPage(1, 4, PHOTOMETRIC_PALETTE)); }, 4},
        DepthCase{"tiff_palette8",
                  [](const QString& s) { return tiffBytes(s, tiffPage(1, 8, PHOTOMETRIC_PALETTE)); }, 8},
        DepthCase{"tiff_rgb", [](const QString& s) { return tiffBytes(s, tiffPage(3, 8, PHOTOMETRIC_RGB)); },
                  24},
        DepthCase{"tiff_rgba",
                  [](const QString& s) { return tiffBytes(s, tiffPage(4, 8, PHOTOMETRIC_RGB, {kUnassoc})); },
                  32},
        DepthCase{"tiff_rgb16",
                  [](const QString& s) { return tiffBytes(s, tiffPage(3, 16, PHOTOMETRIC_RGB)); }, 48},
        DepthCase{"tiff_cmyk",
                  [](const QString& s) { return tiffBytes(s, tiffPage(4, 8, PHOTOMETRIC_SEPARATED)); }, 32},
        DepthCase{"jpeg_grey", [](const QString&) { return fx::jpegBytes(fx::photo(16, 16, 1)); }, 8},
        DepthCase{"jpeg_rgb", [](const QString&) { return fx::jpegBytes(fx::photo(16, 16, 3)); }, 24},
        DepthCase{"jpeg_cmyk", [](const QString&) { return fx::jpegBytes(fx::photo(16, 16, 4)); }, 32},
        DepthCase{"png_bilevel", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 1, 1)); }, 1},
        DepthCase{"png_palette2",
                  [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 1, 2), palettePng()); }, 2},
        DepthCase{"png_grey", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 1, 8)); }, 8},
        DepthCase{"png_grey_alpha", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 2, 8)); }, 16},
        DepthCase{"png_grey_alpha16", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 2, 16)); },
                  32},
        DepthCase{"png_rgb", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 3, 8)); }, 24},
        DepthCase{"png_rgba", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 4, 8)); }, 32},
        DepthCase{"png_rgb16", [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 3, 16)); }, 48},
        DepthCase{"jp2_grey", [](const QString&) { return fx::jp2Bytes(fx::pattern(9, 9, 1, 8), false); }, 8},
        DepthCase{"jp2_rgb", [](const QString&) { return fx::jp2Bytes(fx::pattern(9, 9, 3, 8), false); }, 24},
        DepthCase{"j2k_rgba", [](const QString&) { return fx::jp2Bytes(fx::pattern(9, 9, 4, 8), true); }, 32},
        DepthCase{"pdf", [](const QString&) { return QByteArray("%PDF-1.4\n%\xE2\xE3\n"); }, 0},
        DepthCase{"empty_file", [](const QString&) { return QByteArray(); }, imaging::ApCorrupt},
        DepthCase{"text_file", [](const QString&) { return QByteArray("just some words, not an image\n"); },
                  imaging::ApUnsupported},
        DepthCase{"png_header_cut",
                  [](const QString&) { return fx::pngBytes(fx::pattern(9, 9, 1, 8)).left(20); },
                  imaging::ApCorrupt}),
    [](const ::testing::TestParamInfo<DepthCase>& info) { return std::string(info.param.label); });

TEST(ImagingQueries, MissingFileAndWrongCodeAreRefused) {
    EXPECT_EQ(imaging::ApGetFunction(0, 211, 0, 0, QStringLiteral("/nonexistent/x.tif"), 0),
              imaging::ApCannotRead);
    EXPECT_EQ(imaging::ApGetFunction(0, 212, 0, 0, QStringLiteral("/nonexistent/x.tif"), 0),
              imaging::ApBadArgument);
    EXPECT_EQ(imaging::ApGetFunction(0, 211, 0, 0, QString(), 0), imaging::ApBadArgument);
}

struct SniffCase {
    const char* label;
    QByteArray head;
    imaging::ImageFormat expected;
};

class Sniffing : public ::testing::TestWithParam<SniffCase> {};

TEST_P(Sniffing, RecognisesByContent) {
    QByteArray head = GetParam().head;
    if (head.size() < int(imaging::kSniffHeadBytes) && GetParam().expected == imaging::ImageFormat::Pcd)
        head.resize(imaging::kSniffHeadBytes, '\0');
    const auto* p = reinterpret_cast<const uint8_t*>(head.constData());
    const size_t tail = std::min<size_t>(26, size_t(head.size()));
    EXPECT_EQ(imaging::sniffFormat(p, size_t(head.size()), p + head.size() - tail, tail),
              GetParam().expected);
}

QByteArray bytes(std::initializer_list<int> values, int padTo = 0) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    if (b.size() < padTo) b.append(QByteArray(padTo - b.size(), '\0'));
    return b;
}

QByteArray pcd() {
    QByteArray b(2064, '\xFF');
    b.replace(2048, 7, "PCD_IPI");
    return b;
}

QByteArray emf() {
    QByteArray b = bytes({1, 0, 0, 0, 108, 0, 0, 0}, 88);
    b.replace(40, 4, " EMF");
    return b;
}

QByteArray pcx() {
    QByteArray b = bytes({0x0A, 5, 1, 8, 0, 0, 0, 0, 9, 0, 9, 0}, 128);
    b[65] = 3;
    return b;
}

QByteArray tgaWithFooter() {
    QByteArray b = bytes({0, 0, 2}, 18);
    b += QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, Sniffing,
    ::testing::Values(
        SniffCase{"tiff_le", QByteArray("II*\0\x08\0\0\0", 8), imaging::ImageFormat::Tiff},
        SniffCase{"tiff_be", QByteArray("MM\0*\0\0\0\x08", 8), imaging::ImageFormat::Tiff},
        SniffCase{"bigtiff", QByteArray("II+\0\x08\0\0\0", 8), imaging::ImageFormat::Tiff},
        SniffCase{"jpeg", bytes({0xFF, 0xD8, 0xFF, 0xE0}), imaging::ImageFormat::Jpeg},
        SniffCase{"jp2", QByteArray("\0\0\0\x0CjP  \r\n\x87\n", 12), imaging::ImageFormat::Jp2},
        SniffCase{"j2k", bytes({0xFF, 0x4F, 0xFF, 0x51}), imaging::ImageFormat::J2k},
        SniffCase{"png", QByteArray("\x89PNG\r\n\x1A\n", 8), imaging::ImageFormat::Png},
        SniffCase{"gif", QByteArray("GIF89a"), imaging::ImageFormat::Gif},
        SniffCase{"psd", QByteArray("8BPS\0\1"), imaging::ImageFormat::Psd},
        SniffCase{"bmp", bytes({'B', 'M', 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 40, 0, 0, 0}, 54),
                  imaging::ImageFormat::Bmp},
        SniffCase{"dcx", bytes({0xB1, 0x68, 0xDE, 0x3A, 8, 0, 0, 0}), imaging::ImageFormat::Dcx},
        SniffCase{"pcx", pcx(), imaging::ImageFormat::Pcx},
        SniffCase{"ico", bytes({0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 4, 0, 0, 22, 0, 0, 0}),
                  imaging::ImageFormat::Ico},
        SniffCase{"ppm", QByteArray("P6\n3 2\n255\n"), imaging::ImageFormat::Pnm},
        SniffCase{"pcd", pcd(), imaging::ImageFormat::Pcd},
        SniffCase{"emf", emf(), imaging::ImageFormat::Emf},
        SniffCase{"wmf_placeable", bytes({0xD7, 0xCD, 0xC6, 0x9A, 0, 0}), imaging::ImageFormat::Wmf},
        SniffCase{"wmf_plain", bytes({1, 0, 9, 0, 0, 3, 0, 0, 0, 0}, 18), imaging::ImageFormat::Wmf},
        SniffCase{"tga_footer", tgaWithFooter(), imaging::ImageFormat::Tga},
        SniffCase{"tga_header", bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0}, 66),
                  imaging::ImageFormat::Tga},
        SniffCase{"pdf", QByteArray("%PDF-1.7\n"), imaging::ImageFormat::Pdf},
        SniffCase{"pdf_after_junk", QByteArray("junk\r\n%PDF-1.4\n"), imaging::ImageFormat::Pdf},
        SniffCase{"text", QByteArray("hello, this is plain text\n"), imaging::ImageFormat::Unknown},
        SniffCase{"bm_text", QByteArray("BMW owners club newsletter\n"), imaging::ImageFormat::Unknown}),
    [](const ::testing::TestParamInfo<SniffCase>& info) { return std::string(info.param.label); });

} // namespace
