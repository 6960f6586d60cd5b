#include "platform/imaging/metafiles/metafileemf.h"
#include "platform/imaging/metafiles/metafilewmf.h"
#include "platform/imaging/formats/otherformats.h"
#include "tests/formats/formatfixtures.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
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

TEST_F(Metafiles, EmfRecordsAreDrawnAsTheirWriterMeantThem) {
    ASSERT_EQ(decode(write("sampler.emf", fixtures::emfSampler()), ImageFormat::Emf), ApOk) << error.toStdString();
    const RasterPage& page = pages.at(0);
    ASSERT_EQ(page.width, 1200); // 4000 logical units across: 0.3 pixels each
    const auto at = [&](int x, int y) { return fixtures::pagePixel(page, int(x * 0.3), int(y * 0.3)); };
    const struct {
        const char* what;
        int x, y; // logical units
        fixtures::Rgb colour;
    } points[] = {
        {"square through the world transform", 500, 500, kRed},
        {"beyond the square", 950, 500, kWhite},
        {"path filled", 1150, 250, {0, 192, 0}},
        {"beyond the path's edge", 1800, 900, kWhite},
        {"bitmap, top left", 2300, 300, kRed},
        {"bitmap, top right", 2700, 300, {0, 255, 0}},
        {"bitmap, bottom left", 2300, 700, kBlue},
        {"bitmap, bottom right", 2700, 700, kWhite},
        {"ellipse inside the clip", 3450, 300, {255, 0, 255}},
        {"ellipse cut by the clip", 3450, 700, kWhite},
        {"wide line of the extended pen", 1000, 1300, kBlue},
        {"beside the wide line", 1000, 1400, kWhite},
        {"ring", 200, 2000, {255, 128, 0}},
        {"the ring's hole", 500, 2000, kWhite},
        {"black blended at half strength", 1400, 2000, {127, 127, 127}},
    };
    for (const auto& p : points)
        EXPECT_TRUE(near(at(p.x, p.y), p.colour)) << p.what;
    // The gradient runs from red on its left to blue on its right.
    EXPECT_TRUE(at(2150, 2000)[0] > 200 && at(2150, 2000)[2] < 60);
    EXPECT_TRUE(at(2850, 2000)[2] > 200 && at(2850, 2000)[0] < 60);
    int ink = 0; // "EMF" in black at (2100, 1100), 400 units high
    for (int y = 1100; y < 1500; y += 5)
        for (int x = 2100; x < 3000; x += 5)
            ink += at(x, y)[0] < 64;
    EXPECT_GT(ink, 300);
}

TEST_F(Metafiles, DrawingIsBoundedByTheWorkItAsksForNotByTime) {
    const auto decodeWith = [&](ImageFormat format, const QByteArray& data, qint64 work) {
        pages.clear();
        const QString path = write(format == ImageFormat::Wmf ? "limited.wmf" : "limited.emf", data);
        const PageSink sink = [&](RasterPage& page) {
            pages.push_back(std::move(page));
            return int(ApOk);
        };
        return format == ImageFormat::Wmf ? decodeWmf(path, sink, error, MetafileLimits{work})
                                          : decodeEmf(path, sink, error, MetafileLimits{work});
    };
    const qint64 pagePixels = 1200 * 1200;
    // Two shapes over a 4-inch page cost about its pixels.
    for (const auto& [format, poster] : {std::pair(ImageFormat::Wmf, fixtures::wmf(4, 4)),
                                         std::pair(ImageFormat::Emf, fixtures::emf(4, 4))}) {
        SCOPED_TRACE(format == ImageFormat::Wmf ? "wmf" : "emf");
        EXPECT_EQ(decodeWith(format, poster, 2 * pagePixels), ApOk) << error.toStdString();
        EXPECT_EQ(decodeWith(format, poster, pagePixels / 2), ApOverLimits);
        EXPECT_TRUE(pages.empty());
        EXPECT_TRUE(error.contains(QStringLiteral("too much drawing"))) << error.toStdString();
    }
    // A polygon that crosses itself on every row costs its crossings, though it covers less
    // than the square above.
    QByteArray star;
    for (int i = 0; i < 201; ++i) {
        const double angle = 2 * 3.14159265 * (i * 100 % 201) / 201;
        QByteArray point(8, '\0');
        qToLittleEndian<qint32>(qint32(2000 + 1900 * std::cos(angle)), point.data());
        qToLittleEndian<qint32>(qint32(2000 + 1900 * std::sin(angle)), point.data() + 4);
        star += point;
    }
    QByteArray head(20, '\0');
    qToLittleEndian<quint32>(201, head.data() + 16);
    const QByteArray crossing = fixtures::emfPicture(
        4, 4, fixtures::emfRecord(39, {1, 0, 0xFF, 0}) + fixtures::emfRecord(37, {1}) +
                  fixtures::emfRecord(17, {8}) + fixtures::emfRecord(9, {4000, 4000}) +
                  fixtures::emfRecord(11, {1016, 1016}) + fixtures::emfRecord(3, head + star));
    EXPECT_EQ(decodeWith(ImageFormat::Emf, crossing, 4 * pagePixels), ApOverLimits);
    EXPECT_EQ(decodeWith(ImageFormat::Emf, crossing, 200 * pagePixels), ApOk) << error.toStdString();
    // An ellipse reaching 64,000 units (two million pixels) beyond a window of 16 costs only
    // what shows of it.
    QByteArray reaching = fixtures::wmf(4, 4);
    patchWmfRecord(reaching, 0x020C, {16, 16});                  // SETWINDOWEXT
    patchWmfRecord(reaching, 0x0418, {32000, 32000, -32000, 8}); // ELLIPSE
    EXPECT_EQ(decodeWith(ImageFormat::Wmf, reaching, 4 * pagePixels), ApOk) << error.toStdString();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(near(fixtures::pagePixel(pages[0], 900, 600), kBlue)); // inside it
    EXPECT_TRUE(near(fixtures::pagePixel(pages[0], 300, 600), kRed));  // left of it, the rectangle
}

TEST_F(Metafiles, EmfPicturesDrawnOnlyByEmfPlusRecordsAreRefusedAsSuch) {
    // A comment holding EMF+ records: a header whose flags say it is not drawn both ways,
    // then a rectangle filled in red.
    const auto plus = [](uint16_t type, uint16_t flags, const QByteArray& data) {
        QByteArray r(12, '\0');
        qToLittleEndian<quint16>(type, r.data());
        qToLittleEndian<quint16>(flags, r.data() + 2);
        qToLittleEndian<quint32>(quint32(12 + data.size()), r.data() + 4);
        qToLittleEndian<quint32>(quint32(data.size()), r.data() + 8);
        return r + data;
    };
    const auto words = [](std::initializer_list<quint32> values) {
        QByteArray b;
        for (quint32 v : values) {
            b += QByteArray(4, '\0');
            qToLittleEndian<quint32>(v, b.data() + b.size() - 4);
        }
        return b;
    };
    const auto comment = [&](const QByteArray& records) {
        const QByteArray data = words({0x2B464D45}) + records;
        return fixtures::emfRecord(70, words({quint32(data.size())}) + data);
    };
    const QByteArray gdi = fixtures::emf(2, 1);
    const QByteArray shapes = gdi.mid(88, gdi.size() - 88 - 20); // its records without the header and end
    for (const bool dual : {false, true}) {
        SCOPED_TRACE(dual ? "drawn both ways" : "EMF+ alone");
        const QByteArray header = plus(0x4001, 0, words({0xDBC01002, dual ? 1u : 0u, 96, 96}));
        const QByteArray fill = plus(0x400A, 0x8000, words({0xFFFF0000, 1, 0, 0, 0x43480000, 0x43480000}));
        const QByteArray picture =
            fixtures::emfPicture(2, 1, comment(header) + comment(fill) + shapes);
        const int rc = decode(write("plus.emf", picture), ImageFormat::Emf);
        if (dual) {
            EXPECT_EQ(rc, ApOk) << error.toStdString(); // the GDI records stand in for the EMF+ ones
        } else {
            EXPECT_EQ(rc, ApUnsupported);
            EXPECT_TRUE(error.contains(QStringLiteral("EMF+"))) << error.toStdString();
        }
    }
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
