#include "platform/imaging/metafilewmf.h"
#include "platform/imaging/otherformats.h"
#include "tests/formats/formatfixtures.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace imaging;

namespace {

class Metafiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& data) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fixtures::writeAll(path, data));
        return path;
    }
    int decode(const QString& path, ImageFormat format) {
        pages.clear();
        return decodeOtherFormat(path, format, [&](RasterPage& page) {
            pages.push_back(std::move(page));
            return int(ApOk);
        }, error);
    }
    bool near(fixtures::Rgb got, fixtures::Rgb want, int tolerance = 8) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(int(got[size_t(c)]) - int(want[size_t(c)])) > tolerance)
                return false;
        }
        return true;
    }

    QTemporaryDir dir;
    QString error;
    std::vector<RasterPage> pages;
};

constexpr fixtures::Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

// Overwrites the parameters of the first WMF record of `function` (after the headers at `at`).
void patchWmfRecord(QByteArray& wmf, uint16_t function, std::initializer_list<int> params,
                    qsizetype at = 40) {
    while (at + 6 <= wmf.size()) {
        const qsizetype words = qFromLittleEndian<quint32>(wmf.constData() + at);
        if (qFromLittleEndian<quint16>(wmf.constData() + at + 4) == function) {
            qsizetype p = at + 6;
            for (int v : params)
                qToLittleEndian<quint16>(quint16(v), wmf.data() + std::exchange(p, p + 2));
            return;
        }
        if (words < 3) break;
        at += 2 * words;
    }
    ADD_FAILURE() << "no record " << function;
}

} // namespace

TEST_F(Metafiles, AreDrawnAt300DpiOnWhiteSizedByTheirFrame) {
    struct Case {
        const char* name;
        ImageFormat format;
        QByteArray data;
        int width, height;
    } cases[] = {
        {"device.emf", ImageFormat::Emf, fixtures::emf(2, 1), 600, 300},
        {"mapped.emf", ImageFormat::Emf, fixtures::emf(2, 1, true), 600, 300},
        {"letter.emf", ImageFormat::Emf, fixtures::emf(8.5, 11), 2550, 3300}, // drawn in bands
        {"placeable.wmf", ImageFormat::Wmf, fixtures::wmf(2, 1), 600, 300},
        {"window.wmf", ImageFormat::Wmf, fixtures::wmf(2, 1, false, false), 600, 300}, // window in twips
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(QString::fromLatin1(c.name), c.data);
        EXPECT_EQ(otherFormatBitsPerPixel(path, c.format), 24);
        ASSERT_EQ(decode(path, c.format), ApOk) << error.toStdString();
        ASSERT_EQ(pages.size(), 1u);
        const RasterPage& page = pages[0];
        EXPECT_NEAR(page.width, c.width, 2);
        EXPECT_NEAR(page.height, c.height, 2);
        EXPECT_EQ(page.dpiX, 300);
        EXPECT_EQ(page.dpiY, 300);
        EXPECT_EQ(page.storedBitsPerPixel, 24);
        EXPECT_TRUE(page.alpha.empty());
        ASSERT_EQ(page.pixels.size(), page.rowBytes() * size_t(page.height));
        const int w = page.width, h = page.height;
        // Left half red to the bottom edge (across band seams), an ellipse in the right half,
        // white in the corners the ellipse leaves.
        for (int y : {h / 10, h / 2, h - h / 10})
            EXPECT_TRUE(near(fixtures::pagePixel(page, w / 4, y), kRed)) << "red at y " << y;
        EXPECT_TRUE(near(fixtures::pagePixel(page, 3 * w / 4, h / 2), kBlue));
        EXPECT_TRUE(near(fixtures::pagePixel(page, w - 3, 2), kWhite));
        EXPECT_TRUE(near(fixtures::pagePixel(page, w - 3, h - 3), kWhite));
    }
}

TEST_F(Metafiles, WmfTextIsDrawn) {
    const QString path = write("text.wmf", fixtures::wmf(2, 1, true));
    ASSERT_EQ(decode(path, ImageFormat::Wmf), ApOk) << error.toStdString();
    const RasterPage& page = pages.at(0);
    int green = 0;
    for (int y = 0; y < page.height / 3; ++y)
        for (int x = 0; x < page.width / 2; ++x) {
            const fixtures::Rgb p = fixtures::pagePixel(page, x, y);
            green += p[1] > 100 && p[0] < 100 && p[2] < 100;
        }
    EXPECT_GT(green, 50);
}

TEST_F(Metafiles, PicturesLargerThanAnA3PageAreDrawnAtALowerResolution) {
    const struct {
        const char* name;
        ImageFormat format;
        QByteArray data;
        double width, height; // inches
    } cases[] = {
        {"poster.emf", ImageFormat::Emf, fixtures::emf(40, 30), 40, 30},
        {"poster.wmf", ImageFormat::Wmf, fixtures::wmf(22, 22), 22, 22}, // twips must fit 16 bits
        // A thin strip: few pixels, but too tall to draw at 300 dpi in good time.
        {"strip.emf", ImageFormat::Emf, fixtures::emf(0.2, 120), 0.2, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pages.clear();
        ASSERT_EQ(decode(write(c.name, c.data), c.format), ApOk) << error.toStdString();
        ASSERT_EQ(pages.size(), 1u);
        const RasterPage& page = pages[0];
        EXPECT_LT(page.dpiX, 300);
        EXPECT_EQ(page.dpiX, page.dpiY);
        EXPECT_LE(double(page.width) * page.height, 24e6);
        EXPECT_LE(std::max(page.width, page.height), 16384);
        EXPECT_NEAR(page.width / page.dpiX, c.width, 0.05); // the page keeps its size in inches
        EXPECT_NEAR(page.height / page.dpiY, c.height, 0.05);
        EXPECT_TRUE(near(fixtures::pagePixel(page, page.width / 4, page.height / 2), kRed));
        EXPECT_TRUE(near(fixtures::pagePixel(page, 3 * page.width / 4, page.height / 2), kBlue));
        EXPECT_TRUE(near(fixtures::pagePixel(page, page.width - 3, 2), kWhite));
    }
}

TEST_F(Metafiles, WmfRecordsAreDrawnAsTheirWriterMeantThem) {
    ASSERT_EQ(decode(write("sampler.wmf", fixtures::wmfSampler()), ImageFormat::Wmf), ApOk)
        << error.toStdString();
    const RasterPage& page = pages.at(0);
    ASSERT_EQ(page.width, 1200); // 4 inches at 300 dpi: a pixel is 4.8 twips
    const auto at = [&](int x, int y) { return fixtures::pagePixel(page, int(x / 4.8), int(y / 4.8)); };
    const struct {
        const char* what;
        int x, y; // twips
        fixtures::Rgb colour;
    } points[] = {
        {"pie: its quarter from the start ray counter-clockwise", 5150, 450, {255, 255, 0}},
        {"pie: outside that quarter", 4350, 1050, kWhite},
        {"star filled whole (winding)", 950, 2250, kRed},
        {"ring of two polygons (alternate)", 2150, 2250, kBlue},
        {"the ring's hole", 2650, 2250, kWhite},
        {"ellipse inside the clip", 4750, 2000, {255, 0, 255}},
        {"ellipse cut by the clip, restored after", 4750, 2500, kWhite},
        {"bitmap, top left", 400, 3375, kRed},
        {"bitmap, top right", 1000, 3375, {0, 255, 0}},
        {"bitmap, bottom left", 400, 3925, kBlue},
        {"bitmap, bottom right", 1000, 3925, kWhite},
        {"opaque text box", 5500, 4100, {0, 255, 255}},
        {"rounded rectangle", 250, 5000, {255, 128, 0}},
        {"hole the excluded clip leaves", 650, 5000, kWhite},
        {"chord", 2100, 4700, {128, 128, 128}},
        {"beyond the chord's line", 2100, 5300, kWhite},
        {"blackness", 4600, 4700, {0, 0, 0}},
    };
    for (const auto& p : points)
        EXPECT_TRUE(near(at(p.x, p.y), p.colour)) << p.what;
    int ink = 0; // "Wmf" in black at (1500, 3100), 400 twips high
    for (int y = 3100; y < 3500; y += 5)
        for (int x = 1500; x < 2700; x += 5)
            ink += at(x, y)[0] < 64;
    EXPECT_GT(ink, 300);
}

TEST_F(Metafiles, WmfDrawingIsBoundedByTheWorkItAsksForNotByTime) {
    const auto decodeWith = [&](const QByteArray& wmf, qint64 work) {
        pages.clear();
        return decodeWmf(
            write("limited.wmf", wmf),
            [&](RasterPage& page) {
                pages.push_back(std::move(page));
                return int(ApOk);
            },
            error, MetafileLimits{work});
    };
    const qint64 pagePixels = 1200 * 1200;
    // Two shapes over a 4-inch page cost about its pixels.
    const QByteArray poster = fixtures::wmf(4, 4);
    EXPECT_EQ(decodeWith(poster, 2 * pagePixels), ApOk) << error.toStdString();
    EXPECT_EQ(decodeWith(poster, pagePixels / 2), ApOverLimits);
    EXPECT_TRUE(pages.empty());
    EXPECT_TRUE(error.contains(QStringLiteral("too much drawing"))) << error.toStdString();
    // An ellipse reaching 64,000 units (two million pixels) beyond a window of 16 costs only
    // what shows of it.
    QByteArray reaching = fixtures::wmf(4, 4);
    patchWmfRecord(reaching, 0x020C, {16, 16});                  // SETWINDOWEXT
    patchWmfRecord(reaching, 0x0418, {32000, 32000, -32000, 8}); // ELLIPSE
    EXPECT_EQ(decodeWith(reaching, 2 * pagePixels), ApOk) << error.toStdString();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(near(fixtures::pagePixel(pages[0], 900, 600), kBlue)); // inside it
    EXPECT_TRUE(near(fixtures::pagePixel(pages[0], 300, 600), kRed));  // left of it, the rectangle
}

TEST_F(Metafiles, SizesOverTheLimitsAreRefusedBeforeDrawing) {
    // 500 m wide at 300 dpi is far over 2^20 pixels a side.
    QByteArray hugeEmf = fixtures::emf(2, 1);
    qToLittleEndian<qint32>(50000000, hugeEmf.data() + 24 + 8); // rclFrame.right, 0.01 mm
    EXPECT_EQ(decode(write("huge.emf", hugeEmf), ImageFormat::Emf), ApOverLimits);

    QByteArray hugeWmf = fixtures::wmf(2, 1);
    qToLittleEndian<qint16>(32000, hugeWmf.data() + 10); // box right
    qToLittleEndian<quint16>(1, hugeWmf.data() + 14);    // one unit per inch
    EXPECT_EQ(decode(write("huge.wmf", hugeWmf), ImageFormat::Wmf), ApOverLimits);
    EXPECT_TRUE(pages.empty());
}

TEST_F(Metafiles, BrokenHeadersAndRecordsAnswerACode) {
    const QByteArray emf = fixtures::emf(2, 1);
    const QByteArray wmf = fixtures::wmf(2, 1);
    QByteArray noSignature = emf;
    noSignature[40] = 'X';
    QByteArray noDevice = emf;
    qToLittleEndian<qint32>(0, noDevice.data() + 72);
    QByteArray noWindow = fixtures::wmf(2, 1, false, false);
    ASSERT_EQ(noWindow[18 + 8 + 10 + 4], 0x0C); // after the header, map mode and origin
    noWindow[18 + 8 + 10 + 4] = 0x0E;           // its window extent made a viewport extent
    struct Case {
        const char* name;
        ImageFormat format;
        QByteArray data;
    } cases[] = {
        {"empty.emf", ImageFormat::Emf, QByteArray()},
        {"header-only.emf", ImageFormat::Emf, emf.left(60)},
        {"no-signature.emf", ImageFormat::Emf, noSignature},
        {"no-device.emf", ImageFormat::Emf, noDevice},
        {"empty.wmf", ImageFormat::Wmf, QByteArray()},
        {"header-only.wmf", ImageFormat::Wmf, wmf.left(30)},
        {"text.wmf", ImageFormat::Wmf, QByteArray("not a metafile at all, just words")},
        {"no-window.wmf", ImageFormat::Wmf, noWindow}, // no placeable header and no window: no size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(QString::fromLatin1(c.name), c.data);
        EXPECT_LT(otherFormatBitsPerPixel(path, c.format), 0);
        EXPECT_LT(decode(path, c.format), 0);
        EXPECT_TRUE(pages.empty());
        EXPECT_FALSE(error.isEmpty());
    }
}
