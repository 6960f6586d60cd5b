// ApPdfToImage and the rendering layer under it.
#include "pageops/appdftoimage.h"
#include "platform/pdfrender/pageimage.h"
#include "platform/pdfrender/pdftoimage.h"
#include "tests/pageops/pageopsfixtures.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <QImage>

using namespace pofx;

namespace {

class PdfToImage : public PageOpsTest {
protected:
    ScopedStorage storage;
    ApPdfToImage converter;
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
    for (int type : {1, 7}) {
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

TEST_F(PdfToImage, EveryImageTypeAndDepth) {
    const QString pdf = path("doc.pdf");
    ASSERT_TRUE(makePdf(pdf, 2, {.firstMark = 14})); // greys 0.44 and 0.40: dark at 1 bit
    for (int type = 1; type <= 6; ++type) {
        for (int bits : {1, 8, 24}) {
            const QString folder = path(QStringLiteral("t%1-%2").arg(type).arg(bits));
            ASSERT_TRUE(QDir().mkdir(folder));
            const int handle = pdfrender::apOpen(pdf);
            ASSERT_GE(handle, 1);
            pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, folder, 0);
            pdfrender::apSetProperty(handle, pdfrender::kImageType, QString(), type);
            pdfrender::apSetProperty(handle, pdfrender::kBitsPerPixel, QString(), bits);
            pdfrender::apSetProperty(handle, pdfrender::kDpi, QString(), 72);
            ASSERT_EQ(pdfrender::apConvertPage(handle, 2), 0) << type << " " << bits;
            ASSERT_EQ(pdfrender::apClose(handle), 0);
            const QStringList files = entries(folder);
            ASSERT_EQ(files.size(), 1);
            EXPECT_EQ(files.front(), QStringLiteral("2.") + pdfrender::extensionOf(type));
            const QImage image(folder + u'/' + files.front());
            ASSERT_FALSE(image.isNull()) << type << " " << bits;
            EXPECT_EQ(image.size(), QSize(115, 80));
            const int grey = qGray(image.pixel(10, 10));
            if (bits == 1) {
                EXPECT_EQ(grey, 0) << type;
                continue;
            }
            EXPECT_NEAR(grey, 102, type == 2 ? 4 : 2) << type << " " << bits;
        }
    }
}

} // namespace
