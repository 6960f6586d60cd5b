// ApPdfToImage and the rendering layer under it.
#include "pageops/appdftoimage.h"
#include "platform/pdfrender/bandedpage.h"
#include "platform/pdfrender/pageimage.h"
#include "platform/pdfrender/pdftoimage.h"
#include "tests/pageops/pageopsfixtures.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <poppler-qt6.h>

using namespace pofx;

namespace {

class PdfToImage : public PageOpsTest {
protected:
    ScopedStorage storage;
    ApPdfToImage converter;
};

// Page 1 as poppler renders it in one piece, at 24, 8 or 1 bits per pixel, as 32-bit pixels.
QImage wholePage(const QString& pdf, int dpi, int bits) {
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdf);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    const QImage page = document->page(0)->renderToImage(dpi, dpi);
    if (bits == 24) return page.convertToFormat(QImage::Format_RGB32);
    QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    if (bits == 1)
        for (int y = 0; y < grey.height(); ++y)
            for (uchar* p = grey.scanLine(y); p < grey.scanLine(y) + grey.width(); ++p)
                *p = *p >= 128 ? 255 : 0;
    return grey.convertToFormat(QImage::Format_RGB32);
}

// Page 1 of `pdf` written by the rendering layer as `type` at `dpi` and `bits`; the file's path.
QString renderFirstPage(const QString& pdf, const QString& folder, int type, int bits, int dpi) {
    const int handle = pdfrender::apOpen(pdf);
    EXPECT_GE(handle, 1);
    pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, folder, 0);
    pdfrender::apSetProperty(handle, pdfrender::kPrefix, QStringLiteral("p"), 0);
    pdfrender::apSetProperty(handle, pdfrender::kImageType, QString(), type);
    pdfrender::apSetProperty(handle, pdfrender::kBitsPerPixel, QString(), bits);
    pdfrender::apSetProperty(handle, pdfrender::kDpi, QString(), dpi);
    EXPECT_EQ(pdfrender::apConvertPage(handle, 1), 0) << qPrintable(pdfrender::apLastFailure().text);
    EXPECT_EQ(pdfrender::apClose(handle), 0);
    return folder + QStringLiteral("/p1.") + pdfrender::extensionOf(type);
}

struct Difference {
    qint64 pixels = 0;      // pixels that differ at all
    int worstRow = 0;       // most differing pixels in one row
    double meanChannel = 0; // mean absolute difference of a channel over the image
};

Difference compare(const QImage& a, const QImage& b) {
    Difference d;
    if (a.size() != b.size()) {
        ADD_FAILURE() << a.width() << "x" << a.height() << " against " << b.width() << "x" << b.height();
        d.pixels = -1;
        return d;
    }
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        int row = 0;
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int channels = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            sum += channels;
            row += channels != 0;
        }
        d.pixels += row;
        d.worstRow = std::max(d.worstRow, row);
    }
    d.meanChannel = double(sum) / (3.0 * a.width() * a.height());
    return d;
}

class BandBytes {
public:
    explicit BandBytes(qint64 bytes) : m_old(pdfrender::BandedPage::bandBytes()) {
        pdfrender::BandedPage::setBandBytes(bytes);
    }
    ~BandBytes() { pdfrender::BandedPage::setBandBytes(m_old); }

private:
    qint64 m_old;
};

TEST_F(PdfToImage, NamesPagesWithZeroPaddedNumbersInAFolderNamedAfterThePdf) {
    const QString pdf = path("report.final.pdf");
    ASSERT_TRUE(makePdf(pdf, 12));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    ASSERT_TRUE(converter.ConvertPDFToImage(pdf, out, 12, QStringLiteral("pg"), 3));
    const QString folder = out + QStringLiteral("/report.final/");
    QStringList expected;
    for (int k = 1; k <= 12; ++k)
        expected << QStringLiteral("pg%1.png").arg(k, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(entries(folder), expected);
    // 150 dpi, on white, the page's own grey.
    const QImage first(folder + QStringLiteral("pg01.png"));
    EXPECT_EQ(first.size(), QSize(210, 167)); // 101 x 80 points
    EXPECT_NEAR(qGray(first.pixel(50, 50)), 245, 2);
    EXPECT_NEAR(qGray(QImage(folder + QStringLiteral("pg12.png")).pixel(50, 50)), 133, 2);

    // A name without extension: the images go into the output folder itself.
    ASSERT_TRUE(QFile::copy(pdf, path("plain")));
    ASSERT_TRUE(converter.ConvertPDFToImage(path("plain"), out, 2, QStringLiteral("n"), 2));
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/n01.jpg")));
}

TEST_F(PdfToImage, MultiPageTiffIsOneFileInTheOutputFolder) {
    const QString pdf = path("doc.pdf");
    ASSERT_TRUE(makePdf(pdf, 3));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    ASSERT_TRUE(converter.ConvertPDFToImage(pdf, out, 3, QStringLiteral("all"), 7));
    EXPECT_EQ(entries(out), QStringList{"all.tif"});
    EXPECT_EQ(tiffMarks(out + QStringLiteral("/all.tif")), (std::vector<int>{170, 173, 175})); // 210, 213 and 215 pixels wide
}

TEST_F(PdfToImage, ReportsPercentagesRoundedHalfToEven) {
    const QString three = path("three.pdf"), eight = path("eight.pdf");
    ASSERT_TRUE(makePdf(three, 3));
    ASSERT_TRUE(makePdf(eight, 8));
    std::vector<int> percents;
    QStringList files;
    converter.progress = [&](int percent, int total, const QString& file) {
        EXPECT_EQ(total, 100);
        percents.push_back(percent);
        files << file;
    };
    ASSERT_TRUE(converter.ConvertPDFToImage(three, m_dir.path(), 3, QStringLiteral("p"), 3));
    EXPECT_EQ(percents, (std::vector<int>{33, 67, 100, 0}));
    EXPECT_EQ(files, (QStringList{"three.pdf", "three.pdf", "three.pdf", ""}));
    percents.clear();
    ASSERT_TRUE(converter.ConvertPDFToImage(eight, m_dir.path(), 8, QStringLiteral("p"), 3));
    EXPECT_EQ(percents.front(), 12);
    EXPECT_EQ(percents[4], 62);
    // No pages: nothing converted, the display reset.
    percents.clear();
    ASSERT_TRUE(converter.ConvertPDFToImage(eight, m_dir.path(), 0, QStringLiteral("p"), 3));
    EXPECT_EQ(percents, std::vector<int>{0});
}

TEST_F(PdfToImage, AFailingPageStopsTheCallAndLeavesNoImage) {
    const QString pdf = path("doc.pdf");
    ASSERT_TRUE(makePdf(pdf, 3));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    EXPECT_FALSE(converter.ConvertPDFToImage(pdf, out, 4, QStringLiteral("p"), 3)); // no page 4
    EXPECT_TRUE(entries(out + QStringLiteral("/doc")).isEmpty());
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure ConvertPDFToImage at Line No. "));
    EXPECT_TRUE(storage.errorLog().contains(u" of Class Module ApPdfToImage at time"));
    for (int type : {1, 2, 3, 6, 7}) {
        ScopedFileSizeLimit limit(100); // the error log cannot be written meanwhile either
        EXPECT_FALSE(converter.ConvertPDFToImage(pdf, out, 3, QStringLiteral("p"), type));
        EXPECT_EQ(pdfrender::apLastFailure().number, 61) << type;
    }
    EXPECT_TRUE(entries(out + QStringLiteral("/doc")).isEmpty());
    EXPECT_EQ(entries(out), QStringList{"doc"});
    // A page claiming more pixels than an image can hold is refused before anything is allocated.
    ASSERT_TRUE(makePdf(path("huge.pdf"), 1, {.firstMark = 20000}));
    EXPECT_FALSE(converter.ConvertPDFToImage(path("huge.pdf"), out, 1, QStringLiteral("p"), 3));
    EXPECT_EQ(pdfrender::apLastFailure().number, 321);
    EXPECT_TRUE(pdfrender::apLastFailure().text.contains(u"page 1 is too large to render at 150 dpi (41875 x 167 pixels;"))
        << qPrintable(pdfrender::apLastFailure().text);
    EXPECT_TRUE(storage.errorLog().contains(u"41875 x 167 pixels"));
    EXPECT_TRUE(entries(out + QStringLiteral("/huge")).isEmpty());
    // GIF alone is written whole, so its pages are held to fewer pixels: refused before rendering.
    ASSERT_TRUE(makeDrawingPdf(path("poster.pdf"), 6000, 6000, 0, true));
    EXPECT_FALSE(converter.ConvertPDFToImage(path("poster.pdf"), out, 1, QStringLiteral("p"), 4));
    EXPECT_TRUE(pdfrender::apLastFailure().text.contains(u"poster.pdf: page 1 is 12500 x 12500 pixels at 150 dpi, too large for a GIF"))
        << qPrintable(pdfrender::apLastFailure().text);
    EXPECT_TRUE(entries(out + QStringLiteral("/poster")).isEmpty());
    // The folder cannot be made: its parent is missing.
    EXPECT_FALSE(converter.ConvertPDFToImage(pdf, path("missing/deeper"), 1, QStringLiteral("p"), 3));
    EXPECT_TRUE(storage.errorLog().contains(u"Error 76 "));
    // Nothing to open.
    EXPECT_FALSE(converter.ConvertPDFToImage(QString(), out, 1, QStringLiteral("p"), 3));
    EXPECT_FALSE(converter.ConvertPDFToImage(path("missing.pdf"), out, 1, QStringLiteral("p"), 3));
}

TEST_F(PdfToImage, OpenTellsMissingDamagedAndLockedApart) {
    const QString locked = path("locked.pdf"), damaged = path("damaged.pdf");
    ASSERT_TRUE(makePdf(locked, 2, {.userPassword = QStringLiteral("pw")}));
    ASSERT_TRUE(writeFile(damaged, "%PDF-1.4\nnothing here"));
    EXPECT_EQ(pdfrender::apOpen(path("missing.pdf")), pdfrender::kMissing);
    EXPECT_EQ(pdfrender::apOpen(damaged), pdfrender::kNotPdf);
    EXPECT_EQ(pdfrender::apOpen(locked), pdfrender::kNeedsPassword);
    const int handle = pdfrender::apOpen(locked, QStringLiteral("pw"));
    ASSERT_GE(handle, 1);
    EXPECT_EQ(pdfrender::apPageCount(handle), 2);
    EXPECT_EQ(pdfrender::apSetProperty(handle, pdfrender::kBitsPerPixel, QString(), 4), pdfrender::kBadArgument);
    EXPECT_EQ(pdfrender::apSetProperty(handle, 99, QString(), 0), pdfrender::kBadArgument);
    EXPECT_EQ(pdfrender::apClose(handle), 0);
    EXPECT_EQ(pdfrender::apClose(handle), pdfrender::kBadArgument);
}

TEST_F(PdfToImage, EveryImageTypeAndDepthHoldsThePagesPixels) {
    const QString pdf = path("drawing.pdf");
    ASSERT_TRUE(makeDrawingPdf(pdf, 150, 100));
    for (int bits : {1, 8, 24}) {
        const QImage expected = wholePage(pdf, 72, bits);
        ASSERT_EQ(expected.size(), QSize(150, 100));
        for (int type = 1; type <= 6; ++type) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", " << bits << " bits");
            const QString folder = path(QStringLiteral("t%1-%2").arg(type).arg(bits));
            ASSERT_TRUE(QDir().mkdir(folder));
            const QString file = renderFirstPage(pdf, folder, type, bits, 72);
            EXPECT_EQ(entries(folder), QStringList{QFileInfo(file).fileName()});
            QImageReader reader(file);
            const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(image.isNull()) << qPrintable(reader.errorString());
            const Difference d = compare(image, expected);
            if (type == pdfrender::kJpeg || (type == pdfrender::kGif && bits == 24)) { // lossy, or 256 colours
                EXPECT_LT(d.meanChannel, 10);
            } else {
                EXPECT_EQ(d.pixels, 0);
            }
            if (type != pdfrender::kGif && type != pdfrender::kPpm) { // formats that record a resolution
                EXPECT_NEAR(QImage(file).dotsPerMeterX(), 2835, 1);    // 72 dpi
            }
        }
    }
}

TEST_F(PdfToImage, BandsMeetWithoutASeam) {
    // Bands of 7 rows put a seam through every slanted edge, the image and the text; a row
    // lost, repeated or shifted at a seam changes every pixel of the colour ramp in it.
    for (int rotate : {0, 90}) {
        SCOPED_TRACE(rotate);
        const QString pdf = path(QStringLiteral("drawing%1.pdf").arg(rotate));
        ASSERT_TRUE(makeDrawingPdf(pdf, 200, 160, rotate));
        const QImage whole = wholePage(pdf, 72, 24);
        const QString folder = path(QStringLiteral("bands%1").arg(rotate));
        ASSERT_TRUE(QDir().mkdir(folder));
        BandBytes bands(qint64(whole.width()) * 4 * 7);
        const Difference d = compare(QImage(renderFirstPage(pdf, folder, pdfrender::kPng, 24, 72)), whole);
        // A band is drawn with its own origin, so rounding may move an edge pixel by a shade.
        EXPECT_LE(d.pixels, whole.width() * whole.height() / 1000);
        EXPECT_LE(d.worstRow, 4);
    }
}

TEST_F(PdfToImage, ALargePageRendersInBoundedMemory) {
    // 10,000 x 10,000 points at 72 dpi: 100 million pixels, 400 MB as one image. The peak is
    // read in a process of its own, without the sanitizer's quarantine of freed bands.
    const QString pdf = path("poster.pdf");
    ASSERT_TRUE(makeDrawingPdf(pdf, 10000, 10000, 0, true));
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=0"));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(QM_RENDERPROBE), {pdf, m_dir.path(), QStringLiteral("72"), QString::number(pdfrender::kPng)});
    ASSERT_TRUE(probe.waitForFinished(240000)) << "the probe did not end"; // a guard against a hang
    const QList<QByteArray> words = probe.readAllStandardOutput().simplified().split(' ');
    ASSERT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().constData();
    ASSERT_EQ(words.size(), 6);
    EXPECT_EQ(words[1].toInt(), 0);
    EXPECT_LT(words[3].toLong(), 400L * 1024); // kilobytes
    QImageReader written(path("p1.png"));
    EXPECT_EQ(written.size(), QSize(10000, 10000));
}

} // namespace
