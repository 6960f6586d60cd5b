// Page size from resolution (every source of it, the default and the clamps) and the
// orientation applied by the placement matrix.
#include "platform/imaging/pdf/pagegeometry.h"
#include "tests/imaging/imagingtest.h"
#include "tests/imaging/pdfprobe.h"

#include <QColor>
#include <functional>

namespace {

struct SizeCase {
    const char* label;
    std::function<QByteArray()> make;
    double width, height; // expected MediaBox in points
};

class PageSize : public ImagingTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PageSize, FollowsTheFileResolution) {
    const SizeCase& c = GetParam();
    const QString input = write(QStringLiteral("in.img"), c.make());
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output);
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    const probe::PdfInfo pdf = probe::inspect(output);
    ASSERT_EQ(pdf.pages.size(), 1u);
    EXPECT_NEAR(pdf.pages[0].mediaBox[2], c.width, 0.05);
    EXPECT_NEAR(pdf.pages[0].mediaBox[3], c.height, 0.05);
}

QByteArray tiffAt(int w, int h, float xres, float yres, uint16_t unit) {
    fx::TiffPage p;
    p.image = fx::pattern(w, h, 1, 8);
    p.xres = xres;
    p.yres = yres;
    p.resolutionUnit = unit;
    QTemporaryDir dir;
    const QString f = dir.path() + QStringLiteral("/t.tif");
    fx::writeTiff(f, {p});
    return fx::readBytes(f);
}

QByteArray jpegWith(fx::JpegOptions o) {
    return fx::jpegBytes(fx::photo(300, 150, 3), o);
}
fx::JpegOptions jfif(int unit, int x, int y) {
    fx::JpegOptions o;
    o.densityUnit = unit;
    o.xDensity = x;
    o.yDensity = y;
    return o;
}
fx::JpegOptions exifDpi(double dpi) {
    fx::JpegOptions o;
    o.exifDpi = dpi;
    return o;
}
fx::PngOptions pngDpi(double dpi) {
    fx::PngOptions o;
    o.dpi = dpi;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, PageSize,
    ::testing::Values(
        SizeCase{"tiff_300dpi", [] { return tiffAt(600, 300, 300, 300, RESUNIT_INCH); }, 144, 72},
        SizeCase{"tiff_per_cm", [] { return tiffAt(254, 127, 100, 100, RESUNIT_CENTIMETER); }, 72, 36},
        SizeCase{"tiff_unequal", [] { return tiffAt(200, 200, 200, 100, RESUNIT_INCH); }, 72, 144},
        SizeCase{"tiff_no_unit", [] { return tiffAt(96, 48, 300, 300, RESUNIT_NONE); }, 72, 36},
        SizeCase{"tiff_no_resolution", [] { return tiffAt(96, 48, 0, 0, RESUNIT_INCH); }, 72, 36},
        SizeCase{"tiff_dpi_too_low", [] { return tiffAt(96, 48, 5, 5, RESUNIT_INCH); }, 72, 36},
        SizeCase{"tiff_dpi_too_high", [] { return tiffAt(96, 48, 50000, 50000, RESUNIT_INCH); }, 72, 36},
        SizeCase{"jfif_dpi", [] { return jpegWith(jfif(1, 150, 150)); }, 144, 72},
        SizeCase{"jfif_dpcm", [] { return jpegWith(jfif(2, 118, 118)); }, 300 * 72 / (118 * 2.54),
                 150 * 72 / (118 * 2.54)},
        SizeCase{"jfif_aspect_only", [] { return jpegWith(jfif(0, 1, 1)); }, 225, 112.5},
        SizeCase{"exif_dpi", [] { return jpegWith(exifDpi(300)); }, 72, 36},
        SizeCase{"png_phys", [] { return fx::pngBytes(fx::pattern(200, 100, 1, 8), pngDpi(200)); }, 72, 36},
        SizeCase{"png_none", [] { return fx::pngBytes(fx::pattern(200, 100, 1, 8)); }, 150, 75},
        SizeCase{"jp2_resc", [] { return fx::jp2Bytes(fx::pattern(100, 50, 1, 8), false, 200); }, 36, 18},
        SizeCase{"clamped_large", [] { return tiffAt(40000, 2, 20, 20, RESUNIT_INCH); }, 14400, 3},
        SizeCase{"clamped_small", [] { return tiffAt(2, 1, 600, 600, RESUNIT_INCH); }, 3, 3}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.label); });

// Where the stored pixel shown at display position (X, Y) comes from, for each EXIF
// orientation; an independent statement of the EXIF table.
std::pair<int, int> storedPixel(int o, int X, int Y, int W, int H) {
    switch (o) {
    case 2:
        return {W - 1 - X, Y};
    case 3:
        return {W - 1 - X, H - 1 - Y};
    case 4:
        return {X, H - 1 - Y};
    case 5:
        return {Y, X};
    case 6:
        return {Y, H - 1 - X};
    case 7:
        return {W - 1 - Y, H - 1 - X};
    case 8:
        return {W - 1 - Y, X};
    default:
        return {X, Y};
    }
}

// Four flat quadrants: red, green / blue, white.
fx::Image quadrants(int w, int h) {
    fx::Image im{w, h, 3, 8, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            const uint8_t rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            im.data.insert(im.data.end(), rgb[q], rgb[q] + 3);
        }
    return im;
}

enum class Source { TiffTag, JpegExif, PngExif, InterlacedPngExif };

class Orientation : public ImagingTest, public ::testing::WithParamInterface<std::tuple<int, Source>> {};

TEST_P(Orientation, PageShowsTheImageUpright) {
    const auto [o, source] = GetParam();
    const bool jpeg = source == Source::JpegExif;
    const int W = 40, H = 24;
    const fx::Image image = quadrants(W, H);
    QString input;
    if (source == Source::PngExif || source == Source::InterlacedPngExif) {
        // Passed through, or decoded when interlaced: the orientation holds either way.
        fx::PngOptions opts;
        opts.exifOrientation = o;
        opts.dpi = 72;
        opts.interlace = source == Source::InterlacedPngExif;
        input = write(QStringLiteral("in.png"), fx::pngBytes(image, opts));
    } else if (jpeg) {
        fx::JpegOptions opts;
        opts.exifOrientation = o;
        opts.densityUnit = 1;
        opts.xDensity = opts.yDensity = 72;
        input = write(QStringLiteral("in.jpg"), fx::jpegBytes(image, opts));
    } else {
        fx::TiffPage page;
        page.image = image;
        page.photometric = PHOTOMETRIC_RGB;
        page.orientation = uint16_t(o);
        page.xres = page.yres = 72;
        input = path(QStringLiteral("in.tif"));
        ASSERT_TRUE(fx::writeTiff(input, {page}));
    }
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output);
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    const probe::PdfInfo pdf = probe::inspect(output);
    const bool swapped = o >= 5;
    EXPECT_NEAR(pdf.pages[0].mediaBox[2], swapped ? H : W, 0.01);
    EXPECT_NEAR(pdf.pages[0].mediaBox[3], swapped ? W : H, 0.01);
    if (!jpeg) { // the pixels themselves are never turned: only the matrix is
        EXPECT_TRUE(pdf.pages[0].image.decoded == QByteArray(reinterpret_cast<const char*>(image.data.data()),
                                                             qsizetype(image.data.size())));
    }

    const QImage page = probe::render(output, 1, 72);
    const int DW = swapped ? H : W, DH = swapped ? W : H;
    ASSERT_EQ(page.width(), DW);
    ASSERT_EQ(page.height(), DH);
    for (const auto& [fx_, fy] : {std::pair{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}}) {
        const int X = int(fx_ * DW), Y = int(fy * DH);
        const auto [sx, sy] = storedPixel(o, X, Y, W, H);
        const QColor want(image.sample(sx, sy, 0), image.sample(sx, sy, 1), image.sample(sx, sy, 2));
        const QColor got = page.pixelColor(X, Y);
        EXPECT_NEAR(got.red(), want.red(), 40) << "orientation " << o << " at " << X << "," << Y;
        EXPECT_NEAR(got.green(), want.green(), 40) << "orientation " << o << " at " << X << "," << Y;
        EXPECT_NEAR(got.blue(), want.blue(), 40) << "orientation " << o << " at " << X << "," << Y;
    }
}

std::string orientationCaseName(const ::testing::TestParamInfo<std::tuple<int, Source>>& info) {
    static const char* const names[] = {"tiff_tag_", "jpeg_exif_", "png_exif_", "interlaced_png_exif_"};
    return names[int(std::get<1>(info.param))] + std::to_string(std::get<0>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Imaging, Orientation,
                         ::testing::Combine(::testing::Range(1, 9),
                                            ::testing::Values(Source::TiffTag, Source::JpegExif, Source::PngExif,
                                                              Source::InterlacedPngExif)),
                         orientationCaseName);

TEST(PagePlacement, ResolutionFallsBackPerAxis) {
    const imaging::PagePlacement only = imaging::placeImage(300, 300, 300, 0, 1);
    EXPECT_DOUBLE_EQ(only.width, 72);
    EXPECT_DOUBLE_EQ(only.height, 72); // the missing axis takes the other's resolution
    const imaging::PagePlacement none = imaging::placeImage(96, 96, 0, 0, 9);
    EXPECT_DOUBLE_EQ(none.width, 72);
    EXPECT_DOUBLE_EQ(none.matrix[0], 72); // an unknown orientation draws as stored
    EXPECT_DOUBLE_EQ(none.matrix[3], 72);
}

} // namespace
