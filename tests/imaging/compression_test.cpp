// Every colour class against every compression name: the filter, its parameters and the
// colour space in the written PDF, and the pixels read back by poppler.
#include "tests/imaging/imagingtest.h"
#include "tests/imaging/pdfprobe.h"

namespace {

enum class Source { Bilevel, Grey8, Palette8, Rgb24 };

std::vector<uint8_t> greyRamp256() {
    std::vector<uint8_t> p;
    for (int i = 0; i < 256; ++i) {
        p.push_back(uint8_t(i));
        p.push_back(uint8_t(255 - i));
        p.push_back(uint8_t(64 + i / 2));
    }
    return p;
}

// The source written as an uncompressed TIFF, and the pixels a reader must see.
fx::Image makeSource(Source s, const QString& file) {
    fx::TiffPage page;
    fx::Image expected;
    switch (s) {
    case Source::Bilevel:
        page.image = fx::pattern(61, 37, 1, 1);
        page.photometric = PHOTOMETRIC_MINISWHITE;
        expected = page.image;
        break;
    case Source::Grey8:
        page.image = fx::pattern(45, 29, 1, 8);
        expected = page.image;
        break;
    case Source::Palette8: {
        page.image = fx::photo(33, 21, 1, 3);
        page.photometric = PHOTOMETRIC_PALETTE;
        page.palette = greyRamp256();
        expected = fx::Image{33, 21, 3, 8, {}};
        for (uint8_t index : page.image.data)
            for (int c = 0; c < 3; ++c)
                expected.data.push_back(page.palette[size_t(index) * 3 + size_t(c)]);
        break;
    }
    case Source::Rgb24:
        page.image = fx::photo(40, 26, 3);
        page.photometric = PHOTOMETRIC_RGB;
        expected = page.image;
        break;
    }
    EXPECT_TRUE(fx::writeTiff(file, {page}));
    return expected;
}

struct Case {
    const char* label;
    Source source;
    int colourClass;
    const char* name;
    const char* filter;
    std::map<std::string, std::string> parms; // must be present with these values
    bool predictor;                           // Predictor 15 expected
    const char* colourSpace;                  // prefix of the unparsed colour space
    bool lossless;
};

class CompressionMatrix : public ImagingTest, public ::testing::WithParamInterface<Case> {};

TEST_P(CompressionMatrix, FilterParametersAndPixels) {
    const Case& c = GetParam();
    const QString input = path(QStringLiteral("in.tif"));
    const fx::Image expected = makeSource(c.source, input);
    const QString output = path(QStringLiteral("out.pdf"));
    const Conversion r = convertImage(input, output, c.colourClass, QString::fromLatin1(c.name));
    ASSERT_EQ(r.added, 1) << r.error.toStdString();
    ASSERT_EQ(r.closed, 0) << r.error.toStdString();

    const probe::PdfInfo pdf = probe::inspect(output);
    ASSERT_TRUE(pdf.ok);
    ASSERT_EQ(pdf.pages.size(), 1u);
    const probe::ImageInfo& image = pdf.pages[0].image;
    EXPECT_EQ(image.filter, c.filter);
    for (const auto& [key, value] : c.parms)
        EXPECT_EQ(image.parms.count(key) ? image.parms.at(key) : "(missing)", value) << key;
    EXPECT_EQ(image.parms.count("/Predictor") == 1, c.predictor);
    EXPECT_EQ(image.colourSpace.rfind(c.colourSpace, 0), 0u) << image.colourSpace;
    EXPECT_FALSE(pdf.pages[0].softMask.present);
    if (image.filter == "/RunLengthDecode") {
        EXPECT_EQ(uint8_t(image.raw.back()), 128) << "RunLength data must end with EOD";
    }
    QString check;
    EXPECT_TRUE(probe::qpdfCheck(output, &check)) << check.toStdString();

    const std::vector<QImage> images = probe::extractImages(output, 1);
    ASSERT_EQ(images.size(), 1u);
    const fx::Image seen = probe::fromQImage(images[0], expected.channels, expected.bits);
    if (c.lossless) {
        EXPECT_TRUE(seen.data == expected.data) << "pixels differ";
    } else {
        EXPECT_GT(probe::psnr(seen, expected), 30.0);
    }
}

const std::map<std::string, std::string> kLzw{{"/EarlyChange", "1"}};
const std::map<std::string, std::string> kG4{{"/K", "-1"}, {"/Columns", "61"}, {"/Rows", "37"}};

INSTANTIATE_TEST_SUITE_P(
    Imaging, CompressionMatrix,
    ::testing::Values(
        Case{"bw_lzw", Source::Bilevel, 1, "Lzw", "/LZWDecode", kLzw, false, "/DeviceGray", true},
        Case{"bw_zip", Source::Bilevel, 1, "zip", "/FlateDecode", {}, false, "/DeviceGray", true},
        Case{"bw_packbits",
             Source::Bilevel,
             1,
             "Packbits",
             "/RunLengthDecode",
             {},
             false,
             "/DeviceGray",
             true},
        Case{"bw_g3",
             Source::Bilevel,
             1,
             "CCITT-G3",
             "/CCITTFaxDecode",
             {{"/K", "0"}, {"/EndOfLine", "true"}},
             false,
             "/DeviceGray",
             true},
        Case{"bw_g4", Source::Bilevel, 1, "CCITT-G4", "/CCITTFaxDecode", kG4, false, "/DeviceGray", true},
        Case{"bw_jpeg_falls_back", Source::Bilevel, 1, "Jpeg", "/CCITTFaxDecode", kG4, false, "/DeviceGray",
             true},
        Case{"bw_default", Source::Bilevel, 0, "", "/CCITTFaxDecode", kG4, false, "/DeviceGray", true},
        Case{"bw_unknown_name", Source::Bilevel, 1, "Deflate", "/CCITTFaxDecode", kG4, false, "/DeviceGray",
             true},
        Case{"grey_lzw",
             Source::Grey8,
             2,
             "LZW",
             "/LZWDecode",
             {{"/Colors", "1"}, {"/Columns", "45"}, {"/EarlyChange", "1"}},
             true,
             "/DeviceGray",
             true},
        Case{"grey_zip",
             Source::Grey8,
             2,
             "Zip",
             "/FlateDecode",
             {{"/Predictor", "15"}, {"/BitsPerComponent", "8"}},
             true,
             "/DeviceGray",
             true},
        Case{"grey_packbits",
             Source::Grey8,
             2,
             "PackBits",
             "/RunLengthDecode",
             {},
             false,
             "/DeviceGray",
             true},
        Case{"grey_jpeg", Source::Grey8, 2, "Jpeg", "/DCTDecode", {}, false, "/DeviceGray", false},
        Case{"grey_g4_falls_back",
             Source::Grey8,
             2,
             "CCITT-G4",
             "/FlateDecode",
             {},
             true,
             "/DeviceGray",
             true},
        Case{"grey_default", Source::Grey8, 0, "", "/FlateDecode", {}, true, "/DeviceGray", true},
        Case{"palette_lzw", Source::Palette8, 2, "Lzw", "/LZWDecode", kLzw, false, "[/Indexed /DeviceRGB 255",
             true},
        Case{"palette_zip",
             Source::Palette8,
             2,
             "Zip",
             "/FlateDecode",
             {},
             false,
             "[/Indexed /DeviceRGB 255",
             true},
        Case{"palette_packbits",
             Source::Palette8,
             2,
             "Packbits",
             "/RunLengthDecode",
             {},
             false,
             "[/Indexed /DeviceRGB 255",
             true},
        Case{"palette_jpeg_expands",
             Source::Palette8,
             2,
             "Jpeg",
             "/DCTDecode",
             {},
             false,
             "/DeviceRGB",
             false},
        Case{"palette_default",
             Source::Palette8,
             0,
             "",
             "/FlateDecode",
             {},
             false,
             "[/Indexed /DeviceRGB 255",
             true},
        Case{"rgb_lzw",
             Source::Rgb24,
             3,
             "lzw",
             "/LZWDecode",
             {{"/Colors", "3"}, {"/EarlyChange", "1"}},
             true,
             "/DeviceRGB",
             true},
        Case{"rgb_zip",
             Source::Rgb24,
             3,
             "ZIP",
             "/FlateDecode",
             {{"/Colors", "3"}, {"/Columns", "40"}},
             true,
             "/DeviceRGB",
             true},
        Case{"rgb_packbits", Source::Rgb24, 3, "Packbits", "/RunLengthDecode", {}, false, "/DeviceRGB", true},
        Case{"rgb_jpeg", Source::Rgb24, 3, "Jpeg", "/DCTDecode", {}, false, "/DeviceRGB", false},
        Case{"rgb_g3_falls_back", Source::Rgb24, 3, "CCITT-G3", "/FlateDecode", {}, true, "/DeviceRGB", true},
        Case{"rgb_default", Source::Rgb24, 0, "", "/FlateDecode", {}, true, "/DeviceRGB", true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

} // namespace
