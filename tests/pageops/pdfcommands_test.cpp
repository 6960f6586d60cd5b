// TiffPdfCommands on PDFs: merge, append, split, information, page count, conversions.
#include "pageops/tiffpdfcommands.h"
#include "platform/fileio/filenames.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/imaging/formats/raster.h"
#include "platform/pdfpages/pdfmerge.h"
#include "platform/pdfrender/pdftoimage.h"
#include "tests/pageops/pageopsfixtures.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QPDF.hh>
#include <tiffio.h>

using namespace pofx;

namespace {

clsColSetOrderGrid record(const QString& path, const QString& range = QString()) {
    clsColSetOrderGrid r;
    r.setFileLocation(QFileInfo(path).absolutePath());
    r.setFilename(QFileInfo(path).fileName());
    r.setRange(range);
    return r;
}

bool qpdfCheck(const QString& path) {
    QProcess qpdf;
    qpdf.setStandardOutputFile(QProcess::nullDevice());
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    return qpdf.waitForFinished() && qpdf.exitStatus() == QProcess::NormalExit && qpdf.exitCode() == 0;
}

class PdfCommands : public PageOpsTest {
protected:
    ScopedStorage storage;
    TiffPdfCommands commands;
};

TEST_F(PdfCommands, CombineOrderPdfMergesRangesInOrderKeepingPageAttributes) {
    const QString a = path("a.pdf"), b = path("b.pdf"), c = path("c.pdf");
    ASSERT_TRUE(makePdf(a, 3, {.rotate = 90, .cropBox = true, .annotation = true}));
    ASSERT_TRUE(makePdf(b, 4, {.firstMark = 11}));
    ASSERT_TRUE(makePdf(c, 2, {.firstMark = 21, .inheritBoxes = true, .rotate = 180}));
    commands.colOrderedData = {record(a, QStringLiteral("0")), record(b, QStringLiteral("4-3, 1")), record(c)};
    commands.FileNameToSave = path("out.pdf");
    std::vector<std::pair<int, QString>> seen;
    commands.progress = [&](int done, int total, const QString& file) {
        EXPECT_EQ(total, 3);
        seen.emplace_back(done, file);
    };

    ASSERT_TRUE(commands.CombineOrderPdf()) << storage.errorLog().toStdString();
    EXPECT_EQ(pdfMarks(commands.FileNameToSave), (std::vector<int>{1, 2, 3, 14, 13, 11, 21, 21}));
    EXPECT_TRUE(qpdfCheck(commands.FileNameToSave));
    const PdfPage first = pdfPage(commands.FileNameToSave, 1);
    EXPECT_EQ(first.rotate, 90);
    EXPECT_TRUE(first.hasCropBox);
    EXPECT_EQ(first.cropBox[2], 96);
    EXPECT_EQ(first.annotations, 1);
    // Attributes the tree gave c's pages are now on the pages themselves.
    const PdfPage inherited = pdfPage(commands.FileNameToSave, 8);
    EXPECT_EQ(inherited.mediaBox[2], 121);
    EXPECT_EQ(inherited.rotate, 180);
    EXPECT_EQ(commands.FileProccessed, 3);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], std::make_pair(3, c));
}

TEST_F(PdfCommands, CombineOrderPdfIsAllOrNothing) {
    const QString a = path("a.pdf"), locked = path("locked.pdf"), damaged = path("damaged.pdf");
    ASSERT_TRUE(makePdf(a, 2));
    ASSERT_TRUE(makePdf(locked, 1, {.userPassword = QStringLiteral("secret")}));
    ASSERT_TRUE(writeFile(damaged, "%PDF-1.4\nthis is not a document\n"));
    const QString target = path("out.pdf");
    ASSERT_TRUE(writeFile(target, "the previous merge"));
    commands.FileNameToSave = target;

    const struct {
        clsColSetOrderGridList list;
        const char* logged;
    } cases[] = {
        {{record(a), record(damaged), record(a)}, "Error 321 "},
        {{record(a), record(locked)}, "Error 70 "},
        {{record(a), record(a, QStringLiteral("3"))}, "Error 9 "},
        {{record(a), record(a, QStringLiteral("1-x"))}, "Error 13 "},
        {{record(a), record(path("missing.pdf"))}, "Error 53 "},
        {{}, "Error 5 "}, // nothing to merge: a PDF without pages is no PDF
    };
    for (const auto& c : cases) {
        commands.colOrderedData = c.list;
        EXPECT_FALSE(commands.CombineOrderPdf()) << c.logged;
        EXPECT_EQ(readAll(target), "the previous merge") << c.logged;
        EXPECT_TRUE(storage.errorLog().contains(QLatin1String(c.logged))) << c.logged;
    }
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure CombineOrderPdf at Line No. "));
    EXPECT_TRUE(storage.errorLog().contains(u" of Class Module TiffPdfCommands at time"));
    EXPECT_EQ(entries(m_dir.path()), (QStringList{"a.pdf", "damaged.pdf", "locked.pdf", "out.pdf"}));

    commands.FileNameToSave.clear();
    commands.colOrderedData = {record(a)};
    EXPECT_FALSE(commands.CombineOrderPdf());
}

TEST_F(PdfCommands, ANameThatIsNotUtf8IsReportedAsOneThatCannotBeRepresented) {
    // The search lists such a name with U+FFFD for its bad bytes: a text that names no file.
    const QByteArray bytes = QFile::encodeName(m_dir.path()) + "/scan\xff.pdf";
    ASSERT_TRUE(makePdf(path("made.pdf"), 1));
    ASSERT_EQ(::rename(QFile::encodeName(path("made.pdf")).constData(), bytes.constData()), 0);
    const QString shown = fileio::nameFromBytes(bytes);
    const QString why = QStringLiteral("the name cannot be represented");

    commands.FileNameToSave = path("out.pdf");
    commands.colOrderedData = {record(shown)};
    EXPECT_FALSE(commands.CombineOrderPdf());
    EXPECT_TRUE(storage.errorLog().contains(why)) << storage.errorLog().toStdString();
    EXPECT_EQ(pdfrender::apOpen(shown), pdfrender::kMissing);
    EXPECT_TRUE(pdfrender::apLastFailure().text.contains(why));

    const int handle = imaging::ApCreate(path("image.pdf"));
    EXPECT_EQ(imaging::ApAddImage(handle, shown), imaging::ApCannotRead);
    EXPECT_TRUE(imaging::ApLastError().contains(why)) << imaging::ApLastError().toStdString();
    imaging::ApDiscard(handle);
    QString text;
    EXPECT_FALSE(fileio::writeFileAtomically(shown + QStringLiteral("/x.pdf"), "x", false, nullptr, &text));
    EXPECT_TRUE(text.contains(why)) << text.toStdString();
    ::unlink(bytes.constData()); // Qt cannot name it to remove it
}

TEST_F(PdfCommands, CombineOrderPdfReportsAFullDisk) {
    const QString a = path("a.pdf");
    ASSERT_TRUE(makePdf(a, 30));
    const QString target = path("out.pdf");
    ASSERT_TRUE(writeFile(target, "old"));
    commands.FileNameToSave = target;
    commands.colOrderedData = {record(a)};
    {
        ScopedFileSizeLimit limit(1000);
        EXPECT_FALSE(commands.CombineOrderPdf());
    }
    EXPECT_EQ(readAll(target), "old");
    EXPECT_TRUE(storage.errorLog().contains(u"Error 61 ")) << storage.errorLog().toStdString();
}

TEST_F(PdfCommands, AppendPdfFileAddsARangeOfTheSecondFile) {
    const QString a = path("a.pdf"), b = path("b.pdf");
    ASSERT_TRUE(makePdf(a, 2));
    ASSERT_TRUE(makePdf(b, 3, {.firstMark = 11}));
    EXPECT_TRUE(commands.AppendPdfFile(a, b, QString(), path("all.pdf")));
    EXPECT_EQ(pdfMarks(path("all.pdf")), (std::vector<int>{1, 2, 11, 12, 13}));
    // Into the first file itself.
    EXPECT_TRUE(commands.AppendPdfFile(a, b, QStringLiteral("3,1"), a));
    EXPECT_EQ(pdfMarks(a), (std::vector<int>{1, 2, 13, 11}));

    const QByteArray before = readAll(a);
    EXPECT_FALSE(commands.AppendPdfFile(a, path("missing.pdf"), QString(), a));
    EXPECT_FALSE(commands.AppendPdfFile(a, b, QStringLiteral("4"), a));
    EXPECT_EQ(readAll(a), before);
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure AppendPdfFile at Line No. "));
}

TEST_F(PdfCommands, SplitPDFFilesNamesOneFilePerPageOrPerRangeItem) {
    const QString source = path("report.v2.pdf");
    ASSERT_TRUE(makePdf(source, 12));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));

    ASSERT_TRUE(commands.SplitPDFFiles(source, QString(), out, QStringLiteral("part")));
    const QString folder = out + QStringLiteral("/report.v2");
    QStringList expected;
    for (int k = 1; k <= 12; ++k)
        expected << QStringLiteral("part%1.pdf").arg(k, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(entries(folder), expected);
    EXPECT_EQ(pdfMarks(folder + QStringLiteral("/part01.pdf")), std::vector<int>{1});
    EXPECT_EQ(pdfMarks(folder + QStringLiteral("/part12.pdf")), std::vector<int>{12});
    EXPECT_TRUE(qpdfCheck(folder + QStringLiteral("/part07.pdf")));

    ASSERT_TRUE(commands.SplitPDFFiles(source, QStringLiteral("1-3, 12, 11-"), out, QStringLiteral("r")));
    EXPECT_EQ(pdfMarks(folder + QStringLiteral("/r1.pdf")), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(pdfMarks(folder + QStringLiteral("/r2.pdf")), std::vector<int>{12});
    EXPECT_EQ(pdfMarks(folder + QStringLiteral("/r3.pdf")), (std::vector<int>{11, 12}));
}

TEST_F(PdfCommands, SplitPDFFilesWritesAllOrNothing) {
    const QString source = path("doc.pdf");
    ASSERT_TRUE(makePdf(source, 4));
    const QString out = path("out");
    // The third output cannot be put in place: a folder has its name.
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/doc/p3.pdf")));
    EXPECT_FALSE(commands.SplitPDFFiles(source, QString(), out, QStringLiteral("p")));
    EXPECT_EQ(entries(out + QStringLiteral("/doc")), QStringList{"p3.pdf"});

    // A source name without extension, and a bad range: nothing written at all.
    ASSERT_TRUE(QFile::copy(source, path("noext")));
    EXPECT_FALSE(commands.SplitPDFFiles(path("noext"), QString(), out, QStringLiteral("p")));
    EXPECT_FALSE(commands.SplitPDFFiles(source, QStringLiteral("2-9"), out, QStringLiteral("q")));
    EXPECT_EQ(entries(out), QStringList{"doc"});
    EXPECT_TRUE(storage.errorLog().contains(u"Error 5 "));
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure SplitPDFFiles at Line No. "));

    // out/s1/s1.pdf split with the name "s": the first part is named like the source, and
    // the second cannot be put in place. The source stays as it was.
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/s1/s2.pdf")));
    const QString named = out + QStringLiteral("/s1/s1.pdf");
    ASSERT_TRUE(QFile::copy(source, named));
    EXPECT_FALSE(commands.SplitPDFFiles(named, QString(), out, QStringLiteral("s")));
    EXPECT_EQ(readAll(named), readAll(source));
    // Without the obstacle the source becomes its first page, the others beside it.
    ASSERT_TRUE(QDir().rmdir(out + QStringLiteral("/s1/s2.pdf")));
    ASSERT_TRUE(commands.SplitPDFFiles(named, QString(), out, QStringLiteral("s")));
    EXPECT_EQ(pdfMarks(named), std::vector<int>{1});
    EXPECT_EQ(pdfMarks(out + QStringLiteral("/s1/s4.pdf")), std::vector<int>{4});
}

TEST_F(PdfCommands, InformationRoundTripsRemovesAndRefusesBadLines) {
    const QString source = path("doc.pdf"), out = path("info.pdf");
    ASSERT_TRUE(makePdf(source, 1));
    const QString title = QString::fromUtf8("Δοκιμή 文字");
    ASSERT_TRUE(commands.UpdatePdfMetaData(source, QString(), QStringLiteral("Title=%1\r\nAuthor=Ann\nKeywords=a=b\n").arg(title), out));
    EXPECT_EQ(commands.GetPdfMetaData(out, QString()), QStringLiteral("Author=Ann\r\nKeywords=a=b\r\nTitle=%1").arg(title));
    {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(out).constData());
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        EXPECT_EQ(info.getKey("/Author").getStringValue(), "Ann");                   // PDFDocEncoding
        EXPECT_EQ(info.getKey("/Title").getStringValue().substr(0, 2), "\xfe\xff"); // UTF-16BE
    }
    // Removal, in place; keys are case-sensitive.
    ASSERT_TRUE(commands.UpdatePdfMetaData(out, QString(), QStringLiteral("Author=\r\nauthor=Bo"), out));
    EXPECT_EQ(commands.GetPdfMetaData(out, QString()), QStringLiteral("Keywords=a=b\r\nTitle=%1\r\nauthor=Bo").arg(title));

    const QByteArray before = readAll(out);
    for (const char* bad : {"Title Value", "Ti/tle=x", "=x", "Title=ok\nno equals", "Tit le=x"}) {
        EXPECT_FALSE(commands.UpdatePdfMetaData(out, QString(), QString::fromUtf8(bad), out)) << bad;
        EXPECT_FALSE(commands.UpdatePdfMetaData(out, QString(), QString::fromUtf8(bad), path("new.pdf"))) << bad;
    }
    EXPECT_FALSE(commands.UpdatePdfMetaData(out, QString(), QString(), path("new.pdf")));
    EXPECT_EQ(readAll(out), before);
    EXPECT_FALSE(QFile::exists(path("new.pdf")));
    EXPECT_EQ(commands.GetPdfMetaData(path("missing.pdf"), QString()), QStringLiteral("False"));
}

TEST_F(PdfCommands, InformationOfAStoredValueWithLineBreaksIsOneLine) {
    const QString source = path("doc.pdf");
    ASSERT_TRUE(makePdf(source, 1));
    ASSERT_TRUE(commands.UpdatePdfMetaData(source, QString(), QStringLiteral("Subject=x"), source));
    {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(source).constData());
        pdf.getTrailer().getKey("/Info").replaceKey("/Subject", QPDFObjectHandle::newString("one\r\ntwo\nthree"));
        const QByteArray name = QFile::encodeName(path("breaks.pdf")); // QPDFWriter keeps the pointer
        QPDFWriter w(pdf, name.constData());
        w.write();
    }
    EXPECT_EQ(commands.GetPdfMetaData(path("breaks.pdf"), QString()), QStringLiteral("Subject=one  two three"));
}

TEST_F(PdfCommands, PasswordProtectedDocuments) {
    const QString locked = path("locked.pdf");
    ASSERT_TRUE(makePdf(locked, 5, {.userPassword = QStringLiteral("päss")}));
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(locked, QString()), -1);
    EXPECT_TRUE(storage.errorLog().contains(u"Error 70 "));
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure GetNoOfPagesFromPDF at Line No. "));
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(locked, QStringLiteral("päss")), 5);
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(path("missing.pdf"), QString()), -1);

    // Information written into an encrypted file keeps it encrypted.
    ASSERT_TRUE(commands.UpdatePdfMetaData(locked, QStringLiteral("päss"), QStringLiteral("Title=T"), path("t.pdf")));
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(path("t.pdf"), QString()), -1);
    EXPECT_EQ(commands.GetPdfMetaData(path("t.pdf"), QStringLiteral("päss")), QStringLiteral("Title=T"));
    EXPECT_EQ(commands.GetPdfMetaData(path("t.pdf"), QString()), QStringLiteral("False"));
}

// A page tree whose /Count disagrees with its pages gives no count at all: a repaired tree
// would give one, but not one to trust.
TEST_F(PdfCommands, APageTreeThatDoesNotAddUpHasNoPageCount) {
    ASSERT_TRUE(makePdf(path("two.pdf"), 2));
    {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(path("two.pdf")).constData());
        const QByteArray name = QFile::encodeName(path("plain.pdf")); // QPDFWriter keeps the pointer
        QPDFWriter w(pdf, name.constData());
        w.setObjectStreamMode(qpdf_o_disable);
        w.write();
    }
    QByteArray bytes = readAll(path("plain.pdf"));
    ASSERT_EQ(bytes.count("/Count 2"), 1);
    QFile out(path("counted.pdf"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes.replace("/Count 2", "/Count 5")); // same length: the offsets stay right
    out.close();

    EXPECT_EQ(commands.GetNoOfPagesFromPDF(path("plain.pdf"), QString()), 2);
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(path("counted.pdf"), QString()), -1);
    EXPECT_TRUE(storage.errorLog().contains(u"Error 321 ")) << storage.errorLog().toStdString();
}

TEST_F(PdfCommands, ConvertPDFToImageNamesPagesAfterTheImage) {
    const QString two = path("two.pdf"), one = path("one.pdf");
    ASSERT_TRUE(makePdf(two, 2));
    ASSERT_TRUE(makePdf(one, 1, {.firstMark = 44}));
    ASSERT_TRUE(commands.ConvertPDFToImage(two, path("x.png"), 0));
    EXPECT_EQ(QImage(path("x1.png")).width(), 140); // 101 points at 100 dpi
    EXPECT_EQ(QImage(path("x2.png")).width(), 142);
    ASSERT_TRUE(commands.ConvertPDFToImage(one, path("one.jpeg"), 0));
    EXPECT_EQ(QImage(path("one.jpeg")).width(), 200);
    ASSERT_TRUE(commands.ConvertPDFToImage(two, path("all.tiff"), COMPRESSION_PACKBITS));
    EXPECT_EQ(tiffMarks(path("all.tiff")), (std::vector<int>{100, 102})); // widths 140, 142

    EXPECT_FALSE(commands.ConvertPDFToImage(two, QString(), 0));
    EXPECT_FALSE(commands.ConvertPDFToImage(two, path("x.txt"), 0));
    EXPECT_FALSE(commands.ConvertPDFToImage(path("x1.png"), path("y.png"), 0));
    EXPECT_FALSE(QFile::exists(path("y.png")));
}

TEST_F(PdfCommands, EachTiffToPdfIsAllOrNothing) {
    const QString a = path("a.scan.tif"), b = path("b.tif"), bad = path("bad.tif");
    ASSERT_TRUE(makeTiff(a, {1, 2, 3}));
    ASSERT_TRUE(makeTiff(b, {4}));
    ASSERT_TRUE(writeFile(bad, "II*\0garbage"));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    commands.colOrderedData = {record(a), record(b)};
    ASSERT_TRUE(commands.Convert_EachTiffToPDFx(out));
    EXPECT_EQ(entries(out), (QStringList{"a.Pdf", "b.Pdf"}));
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(out + QStringLiteral("/a.Pdf"), QString()), 3);
    EXPECT_EQ(commands.FileProccessed, 2);

    const QString out2 = path("out2");
    ASSERT_TRUE(QDir().mkdir(out2));
    commands.colOrderedData = {record(a), record(bad)};
    EXPECT_FALSE(commands.Convert_EachTiffToPDFx(out2));
    EXPECT_TRUE(entries(out2).isEmpty());
    EXPECT_FALSE(commands.Convert_EachTiffToPDFx(QString()));

    // a.scan.tif and a.page2.tif both name a.Pdf: the second would replace the first's PDF.
    const QString twin = path("a.page2.tif");
    ASSERT_TRUE(makeTiff(twin, {9}));
    const QString out3 = path("out3");
    ASSERT_TRUE(QDir().mkdir(out3));
    commands.colOrderedData = {record(a), record(twin)};
    EXPECT_FALSE(commands.Convert_EachTiffToPDFx(out3));
    EXPECT_TRUE(entries(out3).isEmpty());

    ASSERT_TRUE(commands.Convert_EachTiffToPDFbyOne(a, path("one.pdf")));
    EXPECT_EQ(commands.GetNoOfPagesFromPDF(path("one.pdf"), QString()), 3);
    EXPECT_FALSE(commands.Convert_EachTiffToPDFbyOne(bad, path("bad.pdf")));
    EXPECT_FALSE(QFile::exists(path("bad.pdf")));
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure Convert_EachTiffToPDFbyOne at Line No. "));
}

} // namespace

TEST(PdfMergeSources, AFileChangedAfterItsAddFailsTheWriteAndKeepsTheTarget) {
    // Files too large to hold in memory are read again when the merge is written.
    QTemporaryDir dir;
    const QString big = dir.filePath("big.pdf"), other = dir.filePath("other.pdf"), target = dir.filePath("out.pdf");
    {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 101 100] >>"));
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, std::string(9 << 20, ' ')));
        pdf.addPage(page, false);
        const QByteArray name = QFile::encodeName(big); // the writer keeps the pointer
        QPDFWriter w(pdf, name.constData());
        w.setCompressStreams(false);
        w.write();
    }
    ASSERT_GT(QFileInfo(big).size(), qint64(8) << 20);
    ASSERT_TRUE(makePdf(other, 2, {.firstMark = 7}));
    ASSERT_TRUE(writeFile(target, "mine"));

    pdfpages::PdfMerge merge;
    fileio::Failure failure;
    ASSERT_TRUE(merge.add(big, "", "", failure));
    ASSERT_TRUE(QFile::remove(big));
    ASSERT_TRUE(QFile::rename(other, big));
    EXPECT_FALSE(merge.write(target, failure));
    EXPECT_TRUE(failure.text.contains("big.pdf")) << failure.text.toStdString();
    EXPECT_EQ(readAll(target), "mine");
    EXPECT_EQ(entries(dir.path()), QStringList({"big.pdf", "out.pdf"}));
}
