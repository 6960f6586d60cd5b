// ApPdfToImage and the rendering layer under it.
#include "pageops/appdftoimage.h"
#include "platform/pdfrender/bandedpage.h"
#include "platform/pdfrender/pageimage.h"
#include "platform/pdfrender/pagescan.h"
#include "platform/pdfrender/pdftoimage.h"
#include "platform/pdfrender/renderplan.h"
#include "tests/pageops/pageopsfixtures.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <functional>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <tiffio.h>

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

class RenderBudget {
public:
    explicit RenderBudget(qint64 bytes) : m_old(pdfrender::renderBudget()) { pdfrender::setRenderBudget(bytes); }
    ~RenderBudget() { pdfrender::setRenderBudget(m_old); }

private:
    qint64 m_old;
};

// What the scan finds on page 1 of `pdf` at `dpi`.
pdfrender::PageDemand demandOf(const QString& pdf, int dpi) {
    QPDF document;
    document.processFile(QFile::encodeName(pdf).constData());
    return pdfrender::scanPage(QPDFPageDocumentHelper(document).getAllPages().at(0).getObjectHandle(), dpi);
}

// Page 1 of `pdf` rendered in a process of its own as `type` into `folder`; the peak resident
// size in kilobytes, or -1 when the conversion failed.
long probePeak(const QString& pdf, const QString& folder, int dpi, int type) {
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Without the sanitizer's quarantine of freed bands.
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=0"));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(QM_RENDERPROBE), {pdf, folder, QString::number(dpi), QString::number(type)});
    if (!probe.waitForFinished(240000)) { // a guard against a hang
        ADD_FAILURE() << "the probe did not end";
        return -1;
    }
    const QList<QByteArray> words = probe.readAllStandardOutput().simplified().split(' ');
    if (probe.exitCode() != 0 || words.size() != 6 || words[1].toInt() != 0) {
        ADD_FAILURE() << probe.readAllStandardError().constData() << words.join(' ').constData();
        return -1;
    }
    return words[3].toLong();
}

// Pixels of an RGB TIFF at `points`, read a row at a time: the image need not fit in memory.
std::vector<QRgb> tiffPixels(const QString& path, const std::vector<QPoint>& points) {
    std::vector<QRgb> out(points.size(), 0);
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!t) return out;
    std::vector<uint8_t> row(size_t(TIFFScanlineSize(t)));
    uint32_t height = 0;
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(t, row.data(), y) < 0) break;
        for (size_t k = 0; k < points.size(); ++k)
            if (points[k].y() == int(y)) {
                const uint8_t* p = row.data() + 3 * points[k].x();
                out[k] = qRgb(p[0], p[1], p[2]);
            }
    }
    TIFFClose(t);
    return out;
}

bool near(QRgb a, QRgb b, int tolerance = 3) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

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

TEST_F(PdfToImage, LargePagesAndImagesScaledFarPastThemRenderInBoundedMemory) {
    // 10,000 x 10,000 points at 72 dpi: 100 million pixels, 400 MB as one image, drawn once with
    // shapes and once as one image stretched over the page (which Splash would scale to 400 MB
    // before drawing any of it). The peaks are read in a process of their own.
    ASSERT_TRUE(makeDrawingPdf(path("poster.pdf"), 10000, 10000, 0, true));
    const long poster = probePeak(path("poster.pdf"), m_dir.path(), 72, pdfrender::kPng);
    EXPECT_GT(poster, 0);
    EXPECT_LT(poster, 400L * 1024); // kilobytes
    EXPECT_EQ(QImageReader(path("p1.png")).size(), QSize(10000, 10000));

    PdfParts stretched;
    const std::string image = stretched.image();
    ASSERT_TRUE(stretched.write(path("stretched.pdf"), 10000, 10000, "q 10000 0 0 10000 0 0 cm /Im1 Do Q",
                                "<< /XObject << /Im1 " + image + " >> >>"));
    const QString folder = path("stretched");
    ASSERT_TRUE(QDir().mkdir(folder));
    const long peak = probePeak(path("stretched.pdf"), folder, 72, pdfrender::kTiff);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 400L * 1024);
    // Each image pixel covers 1,250 x 1,250 page pixels; their middles keep its colour.
    const std::vector<QPoint> cells = {{0, 0}, {7, 0}, {0, 7}, {4, 3}};
    std::vector<QPoint> points;
    for (const QPoint& c : cells)
        points.emplace_back(c.x() * 1250 + 625, c.y() * 1250 + 625);
    const std::vector<QRgb> pixels = tiffPixels(folder + QStringLiteral("/p1.tif"), points);
    for (size_t k = 0; k < cells.size(); ++k)
        EXPECT_TRUE(near(pixels[k], PdfParts::imagePixel(cells[k].x(), cells[k].y())))
            << k << ": " << std::hex << pixels[k];

    // A 200-point page showing a sliver of an 8 x 8 image drawn over 20,000 points: Splash
    // would take 1.6 GB for 40,000 pixels.
    PdfParts sliver;
    const std::string small = sliver.image();
    ASSERT_TRUE(sliver.write(path("sliver.pdf"), 200, 200, "q 20000 0 0 20000 -9900 -9900 cm /Im1 Do Q",
                             "<< /XObject << /Im1 " + small + " >> >>"));
    const QString out = path("sliver");
    ASSERT_TRUE(QDir().mkdir(out));
    const long sliverPeak = probePeak(path("sliver.pdf"), out, 72, pdfrender::kPng);
    EXPECT_GT(sliverPeak, 0);
    EXPECT_LT(sliverPeak, 400L * 1024);
    // The page's quarters show image pixels (3, 3), (4, 3), (3, 4) and (4, 4).
    const QImage page(out + QStringLiteral("/p1.png"));
    ASSERT_EQ(page.size(), QSize(200, 200));
    EXPECT_TRUE(near(page.pixel(50, 50), PdfParts::imagePixel(3, 3)));
    EXPECT_TRUE(near(page.pixel(150, 50), PdfParts::imagePixel(4, 3)));
    EXPECT_TRUE(near(page.pixel(50, 150), PdfParts::imagePixel(3, 4)));
    EXPECT_TRUE(near(page.pixel(150, 150), PdfParts::imagePixel(4, 4)));
}

TEST_F(PdfToImage, AnImageIsSeenWhereverThePageDrawsIt) {
    // Each page draws the 8 x 8 image over 20,000 x 20,000 points in its own way; at 72 dpi
    // Splash would scale it to 400 million pixels. A way the scan misses is a page that takes
    // gigabytes.
    const std::string big = "20000 0 0 20000 -9900 -9900";
    using Build = std::function<bool(PdfParts&, const QString&)>;
    const auto xobjects = [](const std::string& entries) { return "<< /XObject << " + entries + " >> >>"; };
    const std::vector<std::pair<const char*, Build>> ways = {
        {"page", [&](PdfParts& p, const QString& f) {
             return p.write(f, 200, 200, "q " + big + " cm /Im1 Do Q", xobjects("/Im1 " + p.image()));
         }},
        {"nested forms, the inner one naming an image of its parent's", [&](PdfParts& p, const QString& f) {
             // Poppler looks a name missing from a form's resources up in those that drew it.
             const std::string inner = p.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 1 1] /Matrix [200 0 0 200 0 0] /Resources << >> >>", "/Im1 Do");
             const std::string outer = p.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 1 1] /Matrix [100 0 0 100 -9900 -9900] /Resources " +
                                                    xobjects("/Im1 " + p.image() + " /F2 " + inner) + " >>",
                                                "/F2 Do");
             return p.write(f, 200, 200, "/F1 Do", xobjects("/F1 " + outer));
         }},
        {"inline image", [&](PdfParts& p, const QString& f) {
             return p.write(f, 200, 200, "q " + big + " cm BI /W 8 /H 8 /CS /RGB /BPC 8 /F /AHx ID\n" + std::string(384, 'a') + ">\nEI Q", "<< >>");
         }},
        {"tiling pattern", [&](PdfParts& p, const QString& f) {
             const std::string pattern = p.stream("<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 1 1] /XStep 1 /YStep 1 /Matrix [" + big + "] /Resources " +
                                                      xobjects("/Im1 " + p.image()) + " >>",
                                                  "/Im1 Do");
             return p.write(f, 200, 200, "/Pattern cs /P1 scn 0 0 200 200 re f", "<< /Pattern << /P1 " + pattern + " >> >>");
         }},
        {"Type 3 glyph", [&](PdfParts& p, const QString& f) {
             const std::string glyph = p.stream("<< >>", "1000 0 d0 /Im1 Do");
             const std::string font = p.object("<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1 1] /FontMatrix [1 0 0 1 0 0] /CharProcs << /a " + glyph +
                                               " >> /Encoding << /Type /Encoding /Differences [97 /a] >> /FirstChar 97 /LastChar 97 /Widths [1] /Resources " +
                                               xobjects("/Im1 " + p.image()) + " >>");
             return p.write(f, 200, 200, "BT /T3 20000 Tf -9900 -9900 Td (a) Tj ET", "<< /Font << /T3 " + font + " >> >>");
         }},
        {"soft mask", [&](PdfParts& p, const QString& f) {
             const std::string group = p.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 200 200] /Group << /S /Transparency >> /Resources " +
                                                    xobjects("/Im1 " + p.image()) + " >>",
                                                "q " + big + " cm /Im1 Do Q");
             return p.write(f, 200, 200, "/G1 gs 0 0 200 200 re f", "<< /ExtGState << /G1 << /SMask << /S /Luminosity /G " + group + " >> >> >> >>");
         }},
        {"annotation appearance", [&](PdfParts& p, const QString& f) {
             const std::string look = p.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 1 1] /Resources " + xobjects("/Im1 " + p.image()) + " >>", "/Im1 Do");
             const std::string annot = p.object("<< /Type /Annot /Subtype /Square /Rect [-9900 -9900 10100 10100] /AP << /N " + look + " >> >>");
             return p.write(f, 200, 200, "", "<< >>", "/Annots [" + annot + "]");
         }},
    };
    for (const auto& [name, build] : ways) {
        SCOPED_TRACE(name);
        PdfParts parts;
        const QString pdf = path(QStringLiteral("way.pdf"));
        ASSERT_TRUE(build(parts, pdf));
        const pdfrender::PageDemand demand = demandOf(pdf, 72);
        EXPECT_TRUE(demand.refusal.isEmpty()) << qPrintable(demand.refusal);
        EXPECT_GE(demand.scaledBytes, 20000.0 * 20000 * 4);
        EXPECT_TRUE(pdfrender::planRender(demand, pdfrender::BandedPage::bandBytes()).painter);
    }

    // Drawn at the page's size, the image costs little; each transparency group open around it
    // costs a band.
    PdfParts plain;
    const std::string inner = plain.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 200 200] /Group << /S /Transparency >> /Resources " +
                                               xobjects("/Im1 " + plain.image()) + " >>",
                                           "q 200 0 0 200 0 0 cm /Im1 Do Q");
    const std::string outer = plain.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 200 200] /Group << /S /Transparency >> /Resources " +
                                               xobjects("/F2 " + inner) + " >>",
                                           "/F2 Do");
    ASSERT_TRUE(plain.write(path("plain.pdf"), 200, 200, "/F1 Do", xobjects("/F1 " + outer)));
    const pdfrender::PageDemand demand = demandOf(path("plain.pdf"), 72);
    EXPECT_LT(demand.scaledBytes, 1e6);
    EXPECT_EQ(demand.groups, 2);
    const pdfrender::RenderPlan plan = pdfrender::planRender(demand, pdfrender::BandedPage::bandBytes());
    EXPECT_FALSE(plan.painter);
    EXPECT_LT(plan.bandBytes * (1.25 + 2 * 2.5), pdfrender::renderBudget());

    // A soft mask replaces the one before it: masks set one after another do not nest.
    PdfParts masks;
    const std::string group = masks.stream("<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] /Group << /S /Transparency >> >>", "0 0 10 10 re f");
    std::string content;
    for (int i = 0; i < 40; ++i)
        content += "/G1 gs 0 0 10 10 re f\n";
    ASSERT_TRUE(masks.write(path("masks.pdf"), 200, 200, content, "<< /ExtGState << /G1 << /SMask << /S /Luminosity /G " + group + " >> >> >> >>"));
    const pdfrender::PageDemand masked = demandOf(path("masks.pdf"), 72);
    EXPECT_TRUE(masked.refusal.isEmpty()) << qPrintable(masked.refusal);
    EXPECT_EQ(masked.groups, 2); // the mask, and its group while it is drawn
}

TEST_F(PdfToImage, AnImageTooLargeToScaleIsDrawnUnscaledOrRefused) {
    // The page shows a 200-point window on the image drawn over 2,000 points: 4 million device
    // pixels, 20 MB for Splash, over the small budget below.
    PdfParts parts;
    const std::string image = parts.image();
    const QString pdf = path("window.pdf");
    ASSERT_TRUE(parts.write(pdf, 200, 200, "q 2000 0 0 2000 -900 -900 cm /Im1 Do Q", "<< /XObject << /Im1 " + image + " >> >>"));
    const pdfrender::PageDemand demand = demandOf(pdf, 72);
    EXPECT_FALSE(pdfrender::planRender(demand, pdfrender::BandedPage::bandBytes()).painter);
    {
        RenderBudget budget(1 << 20);
        EXPECT_TRUE(pdfrender::planRender(demand, pdfrender::BandedPage::bandBytes()).painter);
        const QImage page(renderFirstPage(pdf, m_dir.path(), pdfrender::kPng, 24, 72));
        ASSERT_EQ(page.size(), QSize(200, 200));
        EXPECT_TRUE(near(page.pixel(50, 50), PdfParts::imagePixel(3, 3)));
        EXPECT_TRUE(near(page.pixel(150, 50), PdfParts::imagePixel(4, 3)));
        EXPECT_TRUE(near(page.pixel(50, 150), PdfParts::imagePixel(3, 4)));
        EXPECT_TRUE(near(page.pixel(150, 150), PdfParts::imagePixel(4, 4)));
    }

    // Sources that no budget takes, and one too large for this budget either way: refused before
    // poppler decodes anything, and nothing is written.
    const std::string sof2 = std::string("\xFF\xD8\xFF\xC2\x00\x11\x08\xEA\x60\xEA\x60\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 23);
    struct Claim {
        std::string dictionary, data;
        qint64 budget;
        const char* why;
    };
    const std::vector<Claim> claims = {
        {"/Width 50000 /Height 50000 /ColorSpace /DeviceRGB /BitsPerComponent 8", "abc", pdfrender::renderBudget(),
         "it draws an image of 50,000 x 50,000 pixels (at most 1,073,741,824 samples"},
        {"/Width 8 /Height 8 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode", sof2, pdfrender::renderBudget(),
         "it draws an image of 60,000 x 60,000 pixels"},
        // A JBIG2 page information segment, then the end of the page.
        {"/Width 8 /Height 8 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /JBIG2Decode",
         std::string("\0\0\0\0\x30\0\x01\0\0\0\x13\0\0\xEA\x60\0\0\xEA\x60\0\0\0\0\0\0\0\0\0\0\0"
                     "\0\0\0\x01\x31\0\x01\0\0\0\0", 41),
         pdfrender::renderBudget(), "it draws an image of 60,000 x 60,000 pixels"},
        {"/Width 256 /Height 256 /ColorSpace /DeviceGray /BitsPerComponent 8", std::string(65536, '\x80'), 256 << 10,
         "it draws an image of 256 x 256 pixels over 2000 x 2000 pixels, too large to draw at this resolution"},
    };
    for (const Claim& claim : claims) {
        SCOPED_TRACE(claim.why);
        PdfParts p;
        const std::string source = p.stream("<< /Type /XObject /Subtype /Image " + claim.dictionary + " >>", claim.data);
        ASSERT_TRUE(p.write(path("claim.pdf"), 200, 200, "q 2000 0 0 2000 -900 -900 cm /Im1 Do Q", "<< /XObject << /Im1 " + source + " >> >>"));
        RenderBudget budget(claim.budget);
        const QString folder = path("claims");
        QDir().mkpath(folder);
        const int handle = pdfrender::apOpen(path("claim.pdf"));
        pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, folder, 0);
        pdfrender::apSetProperty(handle, pdfrender::kDpi, QString(), 72);
        EXPECT_EQ(pdfrender::apConvertPage(handle, 1), pdfrender::kNotPdf);
        const QString text = pdfrender::apLastFailure().text;
        EXPECT_TRUE(text.contains(QStringLiteral("claim.pdf: page 1 cannot be rendered at 72 dpi: ") + QLatin1String(claim.why)))
            << qPrintable(text);
        pdfrender::apDiscard(handle);
        EXPECT_TRUE(entries(folder).isEmpty());
    }
}

} // namespace
