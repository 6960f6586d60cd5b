#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "platform/imaging/formats/tiffhandle.h"
#include "platform/imaging/pagecount/tiffpagecounter.h"
#include "tests/support/testdir.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small greyscale TIFF of `pages` pages.
void writeTiff(const QString& path, int pages, bool big = false) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), big ? "w8" : "w");
    ASSERT_NE(tif, nullptr);
    unsigned char row[8] = {0, 32, 64, 96, 128, 160, 192, 255};
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
        for (int y = 0; y < 4; ++y)
            TIFFWriteScanline(tif, row, y, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

// Offsets of a classic little-endian TIFF's directories, in chain order.
QList<quint32> directoryOffsets(const QByteArray& bytes) {
    QList<quint32> out;
    quint32 at = qFromLittleEndian<quint32>(bytes.constData() + 4);
    while (at != 0 && out.size() < 100) {
        out << at;
        const quint16 entries = qFromLittleEndian<quint16>(bytes.constData() + at);
        at = qFromLittleEndian<quint32>(bytes.constData() + at + 2 + entries * 12);
    }
    return out;
}

// Points the next-directory link of directory `from` at `to`.
void relink(QByteArray& bytes, quint32 from, quint32 to) {
    const quint16 entries = qFromLittleEndian<quint16>(bytes.constData() + from);
    qToLittleEndian<quint32>(to, bytes.data() + from + 2 + entries * 12);
}

enum class Encryption { None, OwnerOnly, UserPassword };

void writePdf(const QString& path, int pages, Encryption encryption = Encryption::None) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page =
            pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 100] >>"));
        doc.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter w(pdf, QFile::encodeName(path).constData());
    w.setStaticID(true);
    if (encryption != Encryption::None)
        w.setR6EncryptionParameters(encryption == Encryption::UserPassword ? "user" : "", "owner", true, true, true,
                                    true, true, true, qpdf_r3p_full, true);
    w.write();
}

// A PDF written by hand from numbered object bodies (object 1 is the catalog).
QByteArray handPdf(const QStringList& objects) {
    QByteArray out = "%PDF-1.4\n";
    QList<qint64> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i].toLatin1() + "\nendobj\n";
    }
    const qint64 xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qint64 o : offsets)
        out += QString::asprintf("%010lld 00000 n \n", static_cast<long long>(o)).toLatin1();
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

const QString kPage = "<< /Type /Page /MediaBox [0 0 10 10] >>";

class PageCounting : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<PageCounter> tiff = makeTiffPageCounter();
    std::unique_ptr<PageCounter> pdf = makePdfPageCounter();
    QString path(const QString& name) const { return dir.path() + "/" + name; }
};

} // namespace

TEST_F(PageCounting, TiffPagesAreTheDirectoriesOfTheChain) {
    writeTiff(path("one.tif"), 1);
    writeTiff(path("many.tif"), 12);
    writeTiff(path("big.tif"), 3, true);
    ASSERT_TRUE(writeFile(path("none.tif"), QByteArray("II*\0\0\0\0\0", 8)));
    EXPECT_EQ(tiff->CountPages(path("one.tif")), 1);
    EXPECT_EQ(tiff->CountPages(path("many.tif")), 12);
    EXPECT_EQ(tiff->CountPages(path("big.tif")), 3);
    EXPECT_EQ(tiff->CountPages(path("none.tif")), 0);
}

TEST_F(PageCounting, DamagedTiffsAnswerBelowZero) {
    writeTiff(path("three.tif"), 3);
    const QByteArray good = readAll(path("three.tif"));
    const QList<quint32> dirs = directoryOffsets(good);
    ASSERT_EQ(dirs.size(), 3);

    QByteArray loop = good;
    relink(loop, dirs[2], dirs[0]);
    QByteArray self = good;
    relink(self, dirs[1], dirs[1]);
    QByteArray beyond = good;
    relink(beyond, dirs[1], static_cast<quint32>(good.size() + 4096));
    QByteArray cut = good.left(dirs[2] + 6);
    const QByteArray garbage = QByteArray("II*\0", 4) + QByteArray(64, '\xEE');

    const std::pair<const char*, QByteArray> cases[] = {
        {"loop back to the first", loop}, {"points at itself", self}, {"next beyond the end", beyond},
        {"last directory cut", cut},      {"garbage after header", garbage}, {"empty", QByteArray()},
        {"not a tiff", QByteArray("%PDF-1.4\n")},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeFile(path("bad.tif"), bytes));
        EXPECT_LT(tiff->CountPages(path("bad.tif")), 0);
    }
    EXPECT_LT(tiff->CountPages(path("missing.tif")), 0);
    EXPECT_LT(tiff->CountPages(dir.path()), 0);
}

TEST_F(PageCounting, TheImageReadersTiffWalkEndsALoopingChainWithAnError) {
    writeTiff(path("three.tif"), 3);
    QByteArray loop = readAll(path("three.tif"));
    const QList<quint32> dirs = directoryOffsets(loop);
    ASSERT_EQ(dirs.size(), 3);
    relink(loop, dirs[2], dirs[1]);
    ASSERT_TRUE(writeFile(path("loop.tif"), loop));

    imaging::TiffHandle handle;
    ASSERT_TRUE(handle.openFile(path("loop.tif"), "r"));
    int directories = 1;
    while (handle.nextDirectory())
        ++directories;
    EXPECT_EQ(directories, 3);
    EXPECT_FALSE(handle.error().isEmpty());
    EXPECT_LT(tiff->CountPages(path("loop.tif")), 0);
}

TEST_F(PageCounting, PdfPagesComeFromTheCheckedPageTree) {
    writePdf(path("one.pdf"), 1);
    writePdf(path("many.pdf"), 250);
    EXPECT_EQ(pdf->CountPages(path("one.pdf")), 1);
    EXPECT_EQ(pdf->CountPages(path("many.pdf")), 250);

    const QString catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    ASSERT_TRUE(writeFile(path("nested.pdf"),
                          handPdf({catalog, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 >>",
                                   "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 >>", kPage, kPage,
                                   kPage})));
    EXPECT_EQ(pdf->CountPages(path("nested.pdf")), 3);
}

TEST_F(PageCounting, DamagedLockedOrForeignPdfsAnswerZeroOrBelow) {
    writePdf(path("owner.pdf"), 2, Encryption::OwnerOnly);
    writePdf(path("user.pdf"), 2, Encryption::UserPassword);
    writePdf(path("ten.pdf"), 10);
    const QByteArray ten = readAll(path("ten.pdf"));

    const QString catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::pair<const char*, QByteArray> cases[] = {
        {"count says more", handPdf({catalog, "<< /Type /Pages /Kids [3 0 R] /Count 5 >>", kPage})},
        {"count says less", handPdf({catalog, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 1 >>", kPage, kPage})},
        {"tree loops", handPdf({catalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                "<< /Type /Pages /Kids [2 0 R] /Count 1 >>"})},
        {"kid missing", handPdf({catalog, "<< /Type /Pages /Kids [3 0 R 9 0 R] /Count 2 >>", kPage})},
        {"no page tree", handPdf({"<< /Type /Catalog >>"})},
        {"count not a number", handPdf({catalog, "<< /Type /Pages /Kids [3 0 R] /Count (1) >>", kPage})},
        {"cut after the header", ten.left(40)},
        {"garbage", QByteArray("%PDF-1.4\n") + QByteArray(300, '\x9C')},
        {"empty", QByteArray()},
        {"a tiff", QByteArray("II*\0\0\0\0\0", 8)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeFile(path("bad.pdf"), bytes));
        EXPECT_LE(pdf->CountPages(path("bad.pdf")), 0);
    }
    EXPECT_EQ(pdf->CountPages(path("owner.pdf")), 2); // opens without a password
    EXPECT_LE(pdf->CountPages(path("user.pdf")), 0);
    EXPECT_LE(pdf->CountPages(path("missing.pdf")), 0);
    EXPECT_EQ(pdf->CountPages(path("ten.pdf")), 10);
}

TEST_F(PageCounting, NamedPipesAreRefusedInsteadOfWaitedOn) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.pdf")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.tif")).constData(), 0600), 0);
    EXPECT_LE(pdf->CountPages(path("pipe.pdf")), 0);
    EXPECT_LT(tiff->CountPages(path("pipe.tif")), 0);
}
