#include "platform/imaging/formats/otherformats.h"

#include "platform/imaging/imagetopdf.h"
#include "tests/formats/formatfixtures.h"

#include <Magick++.h>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <qpdf/QPDF.hh>

using namespace imaging;
using fixtures::Picture;

namespace {

struct Decoded {
    int rc = 0;
    QString error;
    std::vector<RasterPage> pages;
};

Decoded decode(const QString& path, ImageFormat format) {
    Decoded d;
    d.rc = decodeOtherFormat(path, format, [&](RasterPage& page) {
        d.pages.push_back(std::move(page));
        return int(ApOk);
    }, d.error);
    return d;
}

fixtures::Rgb onWhite(fixtures::Rgb c, int alpha) {
    for (auto& v : c)
        v = uint8_t((v * alpha + 255 * (255 - alpha) + 127) / 255);
    return c;
}

Picture seenOnWhite(Picture p) {
    for (size_t i = 0; i < p.pixels.size(); ++i)
        p.pixels[i] = onWhite(p.pixels[i], p.alpha[i]);
    p.alpha.clear();
    return p;
}

// Compares every pixel (and alpha) of the page with the picture, within `tolerance`.
void expectPicture(const RasterPage& page, const Picture& expected, int tolerance = 0) {
    ASSERT_EQ(page.width, expected.width);
    ASSERT_EQ(page.height, expected.height);
    ASSERT_EQ(page.pixels.size(), page.rowBytes() * size_t(page.height));
    int mismatches = 0;
    for (int y = 0; y < page.height && mismatches < 5; ++y) {
        for (int x = 0; x < page.width && mismatches < 5; ++x) {
            const fixtures::Rgb got = fixtures::pagePixel(page, x, y);
            const fixtures::Rgb want = expected.at(x, y);
            for (int c = 0; c < 3; ++c) {
                if (std::abs(int(got[c]) - int(want[c])) > tolerance) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << int(got[c])
                                  << " != " << int(want[c]);
                    ++mismatches;
                    break;
                }
            }
        }
    }
    if (expected.alpha.empty()) {
        EXPECT_TRUE(page.alpha.empty());
    } else {
        ASSERT_EQ(page.alpha.size(), expected.alpha.size());
        for (size_t i = 0; i < expected.alpha.size(); ++i)
            ASSERT_NEAR(page.alpha[i], expected.alpha[i], tolerance) << "alpha at " << i;
    }
}

Picture binaryAlpha(Picture p) {
    p = fixtures::withAlpha(p);
    for (size_t i = 0; i < p.alpha.size(); ++i) {
        p.alpha[i] = p.alpha[i] < 128 ? 0 : 255;
        if (p.alpha[i] == 0)
            p.pixels[i] = {0, 0, 0}; // what a transparent GIF pixel's colour is does not matter
    }
    return p;
}

void asTrueColour(Magick::Image& image) { image.type(MagickCore::TrueColorType); }
void asPalette(Magick::Image& image) { image.type(MagickCore::PaletteType); }

struct Case {
    const char* name;
    ImageFormat format;
    QByteArray data;
    int bitsPerPixel;      // code 211
    ColourModel model;
    int bitsPerComponent;
    Picture expected;
    double dpi = 0;        // 0: the file says nothing
    int tolerance = 0;
    int paletteEntries = 0; // Indexed: the colours kept
};

std::vector<Case> cases() {
    using namespace fixtures;
    const Picture colour = colourPicture();
    const Picture grey = greyPicture();
    const Picture bw = bilevelPicture();
    const Picture alpha = withAlpha(colour);
    const int colours = int(colour.colours().size());
    auto density = [](double dpi) {
        return [dpi](Magick::Image& image) {
            image.resolutionUnits(MagickCore::PixelsPerInchResolution);
            image.density(Magick::Geometry(size_t(dpi), size_t(dpi)));
        };
    };
    // Writers often leave the BMP size field at 0, or pad the file after the pixels.
    QByteArray zeroSize = bmp(colour, 24);
    zeroSize.replace(2, 4, QByteArray(4, '\0'));
    const QByteArray padded = bmp(colour, 8) + QByteArray(100, '\0');
    return {
        {"BMP size field left at 0", ImageFormat::Bmp, zeroSize, 24, ColourModel::RGB, 8, colour},
        {"BMP padded after its pixels", ImageFormat::Bmp, padded, 8, ColourModel::Indexed, 8, colour},
        {"GIF colour keeps its table", ImageFormat::Gif, magickWrite(colour, "GIF"), 3, ColourModel::Indexed, 4, colour, 0, 0, colours},
        {"GIF black and white", ImageFormat::Gif, magickWrite(bw, "GIF"), 1, ColourModel::Gray, 1, bw},
        {"GIF grey keeps its table", ImageFormat::Gif, magickWrite(grey, "GIF"), 8, ColourModel::Indexed, 8, grey},
        {"GIF transparency", ImageFormat::Gif, magickWrite(binaryAlpha(colour), "GIF"), 3, ColourModel::Indexed, 4, binaryAlpha(colour)},
        {"BMP 1-bit", ImageFormat::Bmp, bmp(bw, 1, 300), 1, ColourModel::Gray, 1, bw, 300},
        {"BMP 4-bit palette", ImageFormat::Bmp, bmp(colour, 4), 4, ColourModel::Indexed, 4, colour, 0, 0, colours},
        {"BMP 8-bit palette stays colour", ImageFormat::Bmp, bmp(colour, 8, 72), 8, ColourModel::Indexed, 8, colour, 72, 0, colours},
        {"BMP 24-bit", ImageFormat::Bmp, bmp(colour, 24, 150), 24, ColourModel::RGB, 8, colour, 150},
        {"BMP 24-bit of grey pixels is grey", ImageFormat::Bmp, bmp(grey, 24), 24, ColourModel::Gray, 8, grey},
        {"BMP 24-bit of black and white is 1-bit", ImageFormat::Bmp, bmp(bw, 24), 24, ColourModel::Gray, 1, bw},
        {"BMP 16-bit", ImageFormat::Bmp, bmp(colour, 16), 24, ColourModel::RGB, 8, colour, 0, 8},
        {"BMP 32-bit with alpha", ImageFormat::Bmp, bmp(alpha, 32), 32, ColourModel::RGB, 8, alpha},
        {"PCX 8-bit palette", ImageFormat::Pcx, magickWrite(colour, "PCX", [&](Magick::Image& i) { asPalette(i); density(200)(i); }), 8, ColourModel::Indexed, 8, colour, 200},
        {"PCX 24-bit", ImageFormat::Pcx, magickWrite(greyPicture(300, 20), "PCX", asTrueColour), 24, ColourModel::Gray, 8, greyPicture(300, 20)},
        {"PCX 1-bit", ImageFormat::Pcx, pcx1(bw, 600), 1, ColourModel::Gray, 1, bw, 600},
        {"PBM plain", ImageFormat::Pnm, pnm(bw, '1'), 1, ColourModel::Gray, 1, bw},
        {"PBM raw", ImageFormat::Pnm, pnm(bw, '4'), 1, ColourModel::Gray, 1, bw},
        {"PGM plain", ImageFormat::Pnm, pnm(grey, '2'), 8, ColourModel::Gray, 8, grey},
        {"PGM raw", ImageFormat::Pnm, pnm(grey, '5'), 8, ColourModel::Gray, 8, grey},
        {"PGM 16-bit", ImageFormat::Pnm, pnm(grey, '5', 65535), 16, ColourModel::Gray, 16, grey},
        {"PPM plain", ImageFormat::Pnm, pnm(colour, '3'), 24, ColourModel::RGB, 8, colour},
        {"PPM raw", ImageFormat::Pnm, pnm(colour, '6'), 24, ColourModel::RGB, 8, colour},
        {"PPM 16-bit", ImageFormat::Pnm, pnm(colour, '6', 65535), 48, ColourModel::RGB, 16, colour},
        {"PAM with alpha", ImageFormat::Pnm, pnm(alpha, '7'), 32, ColourModel::RGB, 8, alpha},
        {"PSD RGB", ImageFormat::Psd, magickWrite(colour, "PSD", [&](Magick::Image& i) { asTrueColour(i); density(300)(i); }), 24, ColourModel::RGB, 8, colour, 300},
        {"PSD grey", ImageFormat::Psd, magickWrite(grey, "PSD", [](Magick::Image& i) { i.type(MagickCore::GrayscaleType); }), 8, ColourModel::Gray, 8, grey},
        {"PSD indexed", ImageFormat::Psd, psdIndexed(colour), 8, ColourModel::Indexed, 8, colour, 0, 0, colours},
        {"PSD 16-bit RGB", ImageFormat::Psd, magickWrite(colour, "PSD", [](Magick::Image& i) { asTrueColour(i); i.depth(16); }), 48, ColourModel::RGB, 16, colour},
        {"PSD CMYK", ImageFormat::Psd, magickWrite(colour, "PSD", [](Magick::Image& i) { i.colorSpace(MagickCore::CMYKColorspace); }), 32, ColourModel::CMYK, 8, colour, 0, 2},
        // With no layers the fourth channel is a saved selection, not transparency: the page
        // is the composite as Photoshop stored it, matted against white.
        {"PSD composite of a transparent picture", ImageFormat::Psd, psdWithAlpha(alpha), 32, ColourModel::RGB, 8, seenOnWhite(alpha), 0, 1},
        // Layers, a negative layer count (the fourth channel is the composite's transparency)
        // and plain colours: ImageMagick reads its own files back in colour bands.
        {"PSD with transparency, run-length", ImageFormat::Psd, magickWrite(alpha, "PSD"), 32, ColourModel::RGB, 8, seenOnWhite(alpha), 0, 1},
        {"PSD with transparency, raw", ImageFormat::Psd, magickWrite(alpha, "PSD", [](Magick::Image& i) { i.compressType(MagickCore::NoCompression); }), 32, ColourModel::RGB, 8, seenOnWhite(alpha), 0, 1},
        {"PSD 16-bit with transparency", ImageFormat::Psd, magickWrite(alpha, "PSD", [](Magick::Image& i) { i.depth(16); }), 64, ColourModel::RGB, 16, seenOnWhite(alpha), 0, 1},
        {"PSD with transparency, deflated", ImageFormat::Psd, magickWrite(alpha, "PSD", [](Magick::Image& i) { i.compressType(MagickCore::ZipCompression); }), 32, ColourModel::RGB, 8, seenOnWhite(alpha), 0, 1},
        // Hand-written, stored bottom-up as most writers do (see TgaOrigins for the rest).
        {"TGA colour-mapped", ImageFormat::Tga, tga(colour, 1, false, false), 8, ColourModel::Indexed, 8, colour, 0, 0, colours},
        {"TGA colour-mapped RLE", ImageFormat::Tga, tga(colour, 1, true, false), 8, ColourModel::Indexed, 8, colour},
        {"TGA true colour", ImageFormat::Tga, tga(colour, 2, false, false), 24, ColourModel::RGB, 8, colour},
        {"TGA grey", ImageFormat::Tga, tga(grey, 3, false, false), 8, ColourModel::Gray, 8, grey},
        {"TGA with alpha", ImageFormat::Tga, tga(alpha, 2, true, false), 32, ColourModel::RGB, 8, alpha},
        {"ICO keeps its largest entry", ImageFormat::Ico,
         ico({{colourPicture(16, 16), 8}, {withAlpha(colourPicture(32, 32)), 32}, {colourPicture(24, 24), 32, true}}), 32,
         ColourModel::RGB, 8, withAlpha(colourPicture(32, 32))},
        {"ICO largest entry as PNG", ImageFormat::Ico, ico({{colourPicture(16, 16), 8}, {greyPicture(48, 48), 32, true}}), 32,
         ColourModel::Gray, 8, greyPicture(48, 48)},
        {"ICO 8-bit entry", ImageFormat::Ico, ico({{colourPicture(20, 20), 8}}), 8, ColourModel::Indexed, 8, colourPicture(20, 20)},
    };
}

class OtherFormats : public ::testing::Test {
protected:
    QString write(const char* name, const QByteArray& data) {
        const QString path = dir.filePath(QString::fromLatin1(name).replace(' ', '_'));
        EXPECT_TRUE(fixtures::writeAll(path, data));
        return path;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(OtherFormats, EachVariantDecodesToItsExactPixelsModelDepthAndResolution) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const QString path = write(c.name, c.data);
        EXPECT_EQ(otherFormatBitsPerPixel(path, c.format), c.bitsPerPixel);
        const Decoded d = decode(path, c.format);
        ASSERT_EQ(d.rc, ApOk) << d.error.toStdString();
        ASSERT_EQ(d.pages.size(), 1u);
        const RasterPage& page = d.pages.front();
        EXPECT_EQ(page.model, c.model);
        EXPECT_EQ(page.bitsPerComponent, c.bitsPerComponent);
        EXPECT_EQ(page.storedBitsPerPixel, c.bitsPerPixel);
        EXPECT_NEAR(page.dpiX, c.dpi, 0.5);
        EXPECT_NEAR(page.dpiY, c.dpi, 0.5);
        if (c.paletteEntries) {
            EXPECT_EQ(int(page.palette.size()), 3 * c.paletteEntries);
        }
        if (page.model == ColourModel::Indexed) {
            EXPECT_LE(page.palette.size(), size_t(3) << page.bitsPerComponent);
        }
        expectPicture(page, c.expected, c.tolerance);
    }
}

// The origin bits decide where the first stored row and column go, for every type.
TEST_F(OtherFormats, TgaOrigins) {
    using namespace fixtures;
    const Picture colour = colourPicture();
    const Picture grey = greyPicture();
    for (const int type : {1, 2, 3}) {
        for (const bool rle : {false, true}) {
            for (const bool topDown : {false, true}) {
                for (const bool rightToLeft : {false, true}) {
                    SCOPED_TRACE(testing::Message() << "type " << type << (rle ? " RLE" : "") << (topDown ? " top-down" : " bottom-up")
                                                    << (rightToLeft ? " right-to-left" : ""));
                    const Picture& picture = type == 3 ? grey : colour;
                    const Decoded d = decode(write("origin.tga", tga(picture, type, rle, topDown, rightToLeft)), ImageFormat::Tga);
                    ASSERT_EQ(d.rc, ApOk) << d.error.toStdString();
                    ASSERT_EQ(d.pages.size(), 1u);
                    expectPicture(d.pages.front(), picture);
                }
            }
        }
    }
}

TEST_F(OtherFormats, DcxGivesEveryPageInOrder) {
    using namespace fixtures;
    const std::vector<Picture> pictures = {colourPicture(37, 23), bilevelPicture(64, 10), greyPicture(12, 40)};
    std::vector<QByteArray> pcx;
    for (const Picture& p : pictures)
        pcx.push_back(p.colours().size() == 2 ? pcx1(p, 0) : magickWrite(p, "PCX", asPalette));
    const QString path = write("pages.dcx", dcx(pcx));
    EXPECT_EQ(otherFormatBitsPerPixel(path, ImageFormat::Dcx), 8); // the first page's palette
    const Decoded d = decode(path, ImageFormat::Dcx);
    ASSERT_EQ(d.rc, ApOk) << d.error.toStdString();
    ASSERT_EQ(d.pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        expectPicture(d.pages[i], pictures[i]);
    EXPECT_EQ(d.pages[1].bitsPerComponent, 1);
}

TEST_F(OtherFormats, DcxStopsAtTheSinksAnswerAndAnimatedGifGivesItsFirstFrame) {
    using namespace fixtures;
    const QString dcxPath = write("two.dcx", dcx({magickWrite(colourPicture(), "PCX"), magickWrite(greyPicture(), "PCX")}));
    int calls = 0;
    QString error;
    EXPECT_EQ(decodeOtherFormat(dcxPath, ImageFormat::Dcx, [&](RasterPage&) { ++calls; return int(ApCannotWrite); }, error),
              ApCannotWrite);
    EXPECT_EQ(calls, 1);

    const QString gif = write("anim.gif", magickWriteFrames({bilevelPicture(), colourPicture(), greyPicture()}, "GIF"));
    const Decoded d = decode(gif, ImageFormat::Gif);
    ASSERT_EQ(d.rc, ApOk) << d.error.toStdString();
    ASSERT_EQ(d.pages.size(), 1u);
    expectPicture(d.pages[0], bilevelPicture());
}

TEST_F(OtherFormats, PhotoCdGivesItsBaseImage) {
    using namespace fixtures;
    const QString path = write("photo.pcd", magickWrite(colourPicture(768, 512), "PCD"));
    EXPECT_EQ(otherFormatBitsPerPixel(path, ImageFormat::Pcd), 24);
    const Decoded d = decode(path, ImageFormat::Pcd);
    ASSERT_EQ(d.rc, ApOk) << d.error.toStdString();
    ASSERT_EQ(d.pages.size(), 1u);
    const RasterPage& page = d.pages[0];
    EXPECT_EQ(page.width, 768);
    EXPECT_EQ(page.height, 512);
    EXPECT_EQ(page.model, ColourModel::RGB);
    EXPECT_EQ(page.storedBitsPerPixel, 24);
    // Photo CD keeps colour in YCC with halved chroma: compare the middle of the stripes.
    const fixtures::Rgb red = fixtures::pagePixel(page, 64, 400);
    const fixtures::Rgb blue = fixtures::pagePixel(page, 320, 400);
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[2], 60);
    EXPECT_GT(blue[2], 180);
    EXPECT_LT(blue[0], 60);
}

TEST_F(OtherFormats, PagesWiderThanTheDistributionPolicyAllowsStillDecode) {
    // Debian's own ImageMagick policy refuses sides over 16K pixels; ours must be the one in force.
    const QString path = write("wide.pbm", fixtures::pnm(fixtures::bilevelPicture(17000, 3), '4'));
    const Decoded d = decode(path, ImageFormat::Pnm);
    ASSERT_EQ(d.rc, ApOk) << d.error.toStdString();
    ASSERT_EQ(d.pages.size(), 1u);
    EXPECT_EQ(d.pages[0].width, 17000);
}

TEST_F(OtherFormats, FormatsOutsideThisReaderAreRefused) {
    const QString path = write("x.png", fixtures::magickWrite(fixtures::colourPicture(), "PNG"));
    QString error;
    EXPECT_EQ(decodeOtherFormat(path, ImageFormat::Png, [](RasterPage&) { return int(ApOk); }, error), ApUnsupported);
    EXPECT_EQ(otherFormatBitsPerPixel(path, ImageFormat::Jpeg), ApUnsupported);
    EXPECT_EQ(otherFormatBitsPerPixel(dir.filePath("missing.bmp"), ImageFormat::Bmp), ApCannotRead);
    EXPECT_EQ(decodeOtherFormat(dir.filePath("missing.bmp"), ImageFormat::Bmp, [](RasterPage&) { return int(ApOk); }, error),
              ApCannotRead);
}

// An 8-bit GIF is greyscale-class like any 8-bit image, interlaced or with a transparent
// index: the name chosen for that class is what its page is compressed with.
TEST_F(OtherFormats, EightBitGifsTakeTheGreyscaleCompressionWhateverTheirLayout) {
    Picture many{16, 16, {}, {}};
    for (int i = 0; i < 256; ++i)
        many.pixels.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    Picture transparent = many;
    transparent.alpha.assign(many.pixels.size(), 255);
    transparent.alpha[0] = 0;
    const struct {
        const char* name;
        QByteArray gif;
    } cases[] = {
        {"plain", fixtures::magickWrite(many, "GIF")},
        {"interlaced", fixtures::magickWrite(many, "GIF", [](Magick::Image& i) { i.interlaceType(MagickCore::LineInterlace); })},
        {"transparent index", fixtures::magickWrite(transparent, "GIF")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(uint8_t(c.gif[10]) & 0x87, 0x87); // a global table of 256 entries
        const QString input = write("in.gif", c.gif);
        const QString output = dir.filePath("out.pdf");
        EXPECT_EQ(ApGetFunction(0, 211, 0, 0, input, 0), 8);
        const int h = ApCreate(output);
        ASSERT_GT(h, 0);
        EXPECT_EQ(ApSetFunction(h, 123, 2, 0, QStringLiteral("Lzw"), 0), 0);
        ASSERT_EQ(ApAddImage(h, input), 1) << ApLastError().toStdString();
        ASSERT_EQ(ApClose(h), 0) << ApLastError().toStdString();
        QPDF pdf;
        pdf.processFile(QFile::encodeName(output).constData());
        QPDFObjectHandle page = pdf.getAllPages().front();
        QPDFObjectHandle image = page.getKey("/Resources").getKey("/XObject").getKey("/Im0");
        EXPECT_EQ(image.getDict().getKey("/Filter").getName(), "/LZWDecode");
    }
}
