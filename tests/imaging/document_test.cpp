// The document as a whole: handles, multi-page sources, PDF merges, all-or-nothing adds,
// broken inputs and the atomic write.
#include "platform/imaging/pdf/pdfdocument.h"
#include "platform/imaging/formats/raster.h"
#include "platform/imaging/pdf/streamstore.h"
#include "tests/imaging/imagingtest.h"
#include "tests/imaging/pdfprobe.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <zlib.h>

namespace {

using namespace imaging;

fx::TiffPage g4Page(int w, int h) {
    fx::TiffPage p;
    p.image = fx::pattern(w, h, 1, 1);
    p.photometric = PHOTOMETRIC_MINISWHITE;
    p.compression = COMPRESSION_CCITTFAX4;
    return p;
}

fx::TiffPage greyPage(int w, int h) {
    fx::TiffPage p;
    p.image = fx::pattern(w, h, 1, 8);
    p.compression = COMPRESSION_LZW;
    return p;
}

fx::TiffPage rgbPage(int w, int h) {
    fx::TiffPage p;
    p.image = fx::photo(w, h, 3);
    p.photometric = PHOTOMETRIC_RGB;
    return p;
}

// A PDF of `pages` pages written by QPDF, the second one rotated and cropped.
void writePdf(const QString& file, int pages, bool encrypted = false) {
    QPDF pdf;
    pdf.emptyPDF();
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page =
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 300] /Resources << >> >>");
        if (i == 1) {
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
            page.replaceKey("/CropBox", QPDFObjectHandle::parse("[10 10 190 290]"));
        }
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 100 100 l S\n"));
        pdf.addPage(pdf.makeIndirectObject(page), false);
    }
    const QByteArray name = QFile::encodeName(file); // QPDFWriter keeps the pointer
    QPDFWriter w(pdf, name.constData());
    if (encrypted)
        w.setR6EncryptionParameters("user", "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
    w.write();
}

class Document : public ImagingTest {};

TEST_F(Document, MultiPageTiffGivesEveryPageItsOwnClass) {
    const QString input = path(QStringLiteral("pages.tif"));
    ASSERT_TRUE(fx::writeTiff(input, {g4Page(120, 80), greyPage(60, 40), rgbPage(50, 30)}));
    const QString output = path(QStringLiteral("out.pdf"));
    const int h = ApCreate(output);
    ASSERT_GT(h, 0);
    EXPECT_EQ(ApSetFunction(h, 123, 2, 0, QStringLiteral("Packbits"), 0), 0);
    EXPECT_EQ(ApSetFunction(h, 123, 3, 0, QStringLiteral("Jpeg"), 0), 0);
    EXPECT_EQ(ApAddImage(h, input), 3);
    EXPECT_EQ(ApClose(h), 0);
    const probe::PdfInfo pdf = probe::inspect(output);
    ASSERT_EQ(pdf.pages.size(), 3u);
    EXPECT_EQ(pdf.pages[0].image.filter, "/CCITTFaxDecode");
    EXPECT_EQ(pdf.pages[1].image.filter, "/RunLengthDecode");
    EXPECT_EQ(pdf.pages[2].image.filter, "/DCTDecode");
    EXPECT_NEAR(pdf.pages[1].mediaBox[2], 45, 0.01);
}

TEST_F(Document, MergeAppendsImagesAndPdfPagesInOrder) {
    const QString jpeg = write(QStringLiteral("a.jpg"), fx::jpegBytes(fx::photo(30, 20, 3)));
    const QString pdfIn = path(QStringLiteral("b.pdf"));
    writePdf(pdfIn, 3);
    const QString png = write(QStringLiteral("c.png"), fx::pngBytes(fx::pattern(10, 10, 1, 8)));
    const QString output = path(QStringLiteral("merged.pdf"));
    const int h = ApCreate(output);
    EXPECT_EQ(ApAddImage(h, jpeg), 1);
    EXPECT_EQ(ApAddImage(h, pdfIn), 3);
    EXPECT_EQ(ApAddImage(h, png), 1);
    EXPECT_EQ(ApClose(h), 0);
    const probe::PdfInfo pdf = probe::inspect(output);
    ASSERT_EQ(pdf.pages.size(), 5u);
    EXPECT_EQ(pdf.pages[0].image.filter, "/DCTDecode");
    EXPECT_FALSE(pdf.pages[1].image.present);
    EXPECT_DOUBLE_EQ(pdf.pages[1].mediaBox[3], 300);
    EXPECT_EQ(pdf.pages[2].rotate, 90);
    EXPECT_EQ(pdf.pages[4].image.filter, "/FlateDecode");
    QString check;
    EXPECT_TRUE(probe::qpdfCheck(output, &check)) << check.toStdString();
}

TEST_F(Document, FailedAddLeavesTheDocumentAsItWas) {
    const QString good = write(QStringLiteral("good.png"), fx::pngBytes(fx::pattern(10, 10, 1, 8)));
    const QString encrypted = path(QStringLiteral("locked.pdf"));
    writePdf(encrypted, 2, true);
    // Three pages, the last one's data lies past the end of the file.
    const QString damaged = path(QStringLiteral("damaged.tif"));
    ASSERT_TRUE(fx::writeTiff(damaged, {greyPage(40, 40), greyPage(40, 40), rgbPage(64, 64)}));
    {
        QByteArray bytes = fx::readBytes(damaged);
        TIFF* t = TIFFOpen(QFile::encodeName(damaged).constData(), "r");
        TIFFSetDirectory(t, 2);
        uint64_t* offsets = nullptr;
        TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets);
        const qsizetype cut = qsizetype(offsets[0]) + 100;
        TIFFClose(t);
        bytes.truncate(cut);
        ASSERT_TRUE(fx::writeBytes(damaged, bytes));
    }
    const QString output = path(QStringLiteral("out.pdf"));
    const int h = ApCreate(output);
    EXPECT_EQ(ApAddImage(h, good), 1);
    EXPECT_EQ(ApAddImage(h, encrypted), ApEncrypted);
    EXPECT_LT(ApAddImage(h, damaged), 0);
    EXPECT_FALSE(ApLastError().isEmpty());
    EXPECT_EQ(ApAddImage(h, good), 1);
    EXPECT_EQ(ApClose(h), 0);
    EXPECT_EQ(probe::inspect(output).pages.size(), 2u);
}

TEST_F(Document, HandlesAndArgumentsAreChecked) {
    const QString output = path(QStringLiteral("out.pdf"));
    EXPECT_EQ(ApCreate(QString()), ApBadArgument);
    EXPECT_EQ(ApCreate(path(QStringLiteral("missing/out.pdf"))), ApCannotWrite);
    EXPECT_EQ(ApCreate(m_dir.path()), ApCannotWrite);
    EXPECT_EQ(ApAddImage(987654, output), ApBadArgument);
    EXPECT_EQ(ApClose(987654), ApBadArgument);
    const int h = ApCreate(output);
    ASSERT_GT(h, 0);
    EXPECT_EQ(ApSetFunction(h, 124, 1, 0, QStringLiteral("Lzw"), 0), ApBadArgument);
    EXPECT_EQ(ApSetFunction(h, 123, 4, 0, QStringLiteral("Lzw"), 0), ApBadArgument);
    EXPECT_EQ(ApSetFunction(h, 123, 1, 0, QStringLiteral("no such name"), 0), 0); // falls back silently
    EXPECT_EQ(ApAddImage(h, QString()), ApBadArgument);
    EXPECT_EQ(ApClose(h), ApNoPage); // nothing added: nothing written
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_EQ(ApClose(h), ApBadArgument); // released either way
    const int discarded = ApCreate(output);
    ApDiscard(discarded);
    EXPECT_EQ(ApAddImage(discarded, output), ApBadArgument);
}

TEST_F(Document, SameInputGivesTheSameBytes) {
    const QString input = write(QStringLiteral("in.png"), fx::pngBytes(fx::pattern(20, 20, 4, 8)));
    PdfDocument::setFixedIdForTests(true); // the ID alone differs between documents
    const int one = convertImage(input, path(QStringLiteral("one.pdf"))).closed;
    const int two = convertImage(input, path(QStringLiteral("two.pdf"))).closed;
    PdfDocument::setFixedIdForTests(false);
    ASSERT_EQ(one, 0);
    ASSERT_EQ(two, 0);
    EXPECT_EQ(fx::readBytes(path(QStringLiteral("one.pdf"))), fx::readBytes(path(QStringLiteral("two.pdf"))));
}

// Passed-through data kept from the one read (JPEG, PNG) and data read again while writing
// (a Group 4 strip) alike: a source changed after the add fails the close.
TEST_F(Document, SourceChangedBeforeCloseFailsTheWrite) {
    const std::vector<std::pair<QString, std::function<void(const QString&, int)>>> sources = {
        {QStringLiteral("in.jpg"),
         [](const QString& file, int w) { fx::writeBytes(file, fx::jpegBytes(fx::photo(w, 20, 3))); }},
        {QStringLiteral("in.png"),
         [](const QString& file, int w) { fx::writeBytes(file, fx::pngBytes(fx::pattern(w, 20, 1, 8))); }},
        {QStringLiteral("in.tif"), [](const QString& file, int w) { fx::writeTiff(file, {g4Page(w, 20)}); }},
    };
    for (const auto& [name, make] : sources) {
        SCOPED_TRACE(name.toStdString());
        const QString input = path(name);
        const QString output = path(QStringLiteral("out.pdf"));
        make(input, 20);
        const int h = ApCreate(output);
        ASSERT_EQ(ApAddImage(h, input), 1);
        make(input, 21); // passed-through data moved
        EXPECT_EQ(ApClose(h), ApCannotRead);
        EXPECT_FALSE(QFile::exists(output));
    }
}

// A PDF's page streams are copied from the file while writing: a PDF replaced after the add
// must fail the close too, not have bytes of the new file written as the old one's pages.
TEST_F(Document, PdfSourceChangedBeforeCloseFailsTheWrite) {
    const QString input = path(QStringLiteral("in.pdf"));
    const QString output = path(QStringLiteral("out.pdf"));
    writePdf(input, 2);
    const int h = ApCreate(output);
    ASSERT_EQ(ApAddImage(h, input), 2);
    writePdf(input, 3); // the same pages' streams now lie elsewhere in the file
    EXPECT_EQ(ApClose(h), ApCannotRead);
    EXPECT_FALSE(QFile::exists(output));
}

// The strip is decoded without drawing its rows: damage must still be found.
TEST_F(Document, DamagedGroup4StripIsRefusedBeforePassThrough) {
    const QString input = path(QStringLiteral("in.tif"));
    ASSERT_TRUE(fx::writeTiff(input, {g4Page(400, 300)}));
    QByteArray bytes = fx::readBytes(input);
    const qsizetype from = 8 + (bytes.size() - 8) / 4; // inside the strip, which follows the header
    bytes.replace(from, 64, QByteArray(64, '\0'));
    ASSERT_TRUE(fx::writeBytes(input, bytes));
    const Conversion c = convertImage(input, path(QStringLiteral("out.pdf")));
    EXPECT_EQ(c.added, ApCorrupt);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.pdf"))));
}

TEST_F(Document, DocumentsFromDifferentSourcesGetDifferentIds) {
    const QString a = write(QStringLiteral("a.jpg"), fx::jpegBytes(fx::photo(30, 20, 3, 1)));
    const QString b = write(QStringLiteral("b.jpg"), fx::jpegBytes(fx::photo(30, 20, 3, 2)));
    const auto idOf = [&](const QString& input, const QString& name) {
        const QString output = path(name);
        EXPECT_EQ(convertImage(input, output).closed, 0);
        QPDF pdf;
        pdf.processFile(QFile::encodeName(output).constData());
        return pdf.getTrailer().getKey("/ID").getArrayItem(0).getStringValue();
    };
    const std::string first = idOf(a, QStringLiteral("a.pdf"));
    const std::string second = idOf(b, QStringLiteral("b.pdf"));
    EXPECT_EQ(first.size(), 16u);
    EXPECT_NE(first, second);
}

TEST(StreamStore, SpillsPastTheBudgetAndRollsBack) {
    StreamStore store(100);
    QString error;
    const StreamDataPtr small = store.keep(std::vector<uint8_t>(60, 1), error);
    const StreamStore::Mark mark = store.mark();
    const StreamDataPtr big = store.keep(std::vector<uint8_t>(500, 2), error);
    ASSERT_TRUE(small && big);
    EXPECT_EQ(store.memoryUsed(), 60u);
    EXPECT_EQ(store.spilledBytes(), 500u);
    EXPECT_EQ(big->bytes(), std::vector<uint8_t>(500, 2));
    store.rollback(mark);
    EXPECT_EQ(store.spilledBytes(), 0u);
    const StreamDataPtr again = store.keep(std::vector<uint8_t>(70, 3), error);
    EXPECT_EQ(again->bytes(), std::vector<uint8_t>(70, 3));
    EXPECT_EQ(small->bytes(), std::vector<uint8_t>(60, 1));
}

// Broken inputs: the right code, and the target left absent or exactly as it was.
struct BrokenCase {
    const char* label;
    std::function<QByteArray()> make;
    int code;
};

class BrokenInput : public ImagingTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenInput, FailsWithItsCodeAndWritesNothing) {
    const BrokenCase& c = GetParam();
    const QString input = write(QStringLiteral("input.png"), c.make());
    for (const bool existing : {false, true}) {
        const QString output = path(QStringLiteral("out.pdf"));
        QFile::remove(output);
        const QByteArray before = "an older document that must survive";
        if (existing) {
            ASSERT_TRUE(fx::writeBytes(output, before));
        }
        const Conversion r = convertImage(input, output, 3, QStringLiteral("Jpeg"));
        EXPECT_EQ(r.added, c.code) << r.error.toStdString();
        EXPECT_EQ(r.closed, ApNoPage);
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(QFile::exists(output), existing);
        if (existing) {
            EXPECT_EQ(fx::readBytes(output), before);
        }
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), existing ? 2 : 1)
            << "no temporary file left";
    }
}

QByteArray cutJpeg() {
    const QByteArray jpeg = fx::jpegBytes(fx::photo(64, 64, 3));
    return jpeg.left(jpeg.size() * 2 / 3);
}

QByteArray badIfdTiff() {
    QByteArray t("II*\0", 4);
    t.append("\xF0\xFF\xFF\x00", 4); // first directory far past the end
    t.append(QByteArray(64, '\0'));
    return t;
}

QByteArray damagedPng() {
    QByteArray png = fx::pngBytes(fx::pattern(32, 32, 3, 8));
    png[png.indexOf("IDAT") + 10] = char(png[png.indexOf("IDAT") + 10] ^ 0x55);
    return png;
}

QByteArray hugePng() {
    QByteArray png = fx::pngBytes(fx::pattern(4, 4, 3, 8));
    // IHDR claims 100000 x 100000; the CRC is made right so only the size is wrong.
    const int ihdr = png.indexOf("IHDR");
    for (int i : {0, 4}) {
        png[ihdr + 4 + i] = 0;
        png[ihdr + 5 + i] = 1;
        png[ihdr + 6 + i] = char(0x86);
        png[ihdr + 7 + i] = char(0xA0);
    }
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + ihdr), 17));
    for (int i = 0; i < 4; ++i)
        png[ihdr + 17 + i] = char(crc >> (24 - 8 * i));
    return png;
}

QByteArray hugeJpeg() {
    QByteArray jpeg = fx::jpegBytes(fx::photo(16, 16, 3));
    const int sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 5] = char(0xEA);
    jpeg[sof + 6] = char(0x60); // 60000 rows
    jpeg[sof + 7] = char(0xEA);
    jpeg[sof + 8] = char(0x60); // 60000 columns
    return jpeg;
}

QByteArray hugeTiff() {
    QTemporaryDir dir;
    const QString f = dir.path() + QStringLiteral("/h.tif");
    TIFF* t = TIFFOpen(QFile::encodeName(f).constData(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 100000u);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 100000u);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1u);
    std::vector<uint8_t> row(100000, 7);
    TIFFWriteScanline(t, row.data(), 0, 0);
    TIFFClose(t);
    return fx::readBytes(f);
}

INSTANTIATE_TEST_SUITE_P(
    Imaging, BrokenInput,
    ::testing::Values(
        BrokenCase{"empty_file", [] { return QByteArray(); }, ApCorrupt},
        BrokenCase{"jpeg_cut_before_eoi", cutJpeg, ApCorrupt},
        BrokenCase{"jpeg_without_scan", [] { return QByteArray("\xFF\xD8\xFF\xD9", 4); }, ApCorrupt},
        BrokenCase{"text_named_png", [] { return QByteArray("this is not a picture\n"); }, ApUnsupported},
        BrokenCase{"tiff_bad_ifd_offset", badIfdTiff, ApCorrupt},
        BrokenCase{"png_damaged", damagedPng, ApCorrupt},
        BrokenCase{"png_cut", [] { return fx::pngBytes(fx::pattern(32, 32, 3, 8)).left(60); }, ApCorrupt},
        BrokenCase{"png_claims_100000_square", hugePng, ApOverLimits},
        BrokenCase{"jpeg_claims_60000_square", hugeJpeg, ApOverLimits},
        BrokenCase{"tiff_claims_100000_square", hugeTiff, ApOverLimits},
        BrokenCase{"jp2_cut", [] { return fx::jp2Bytes(fx::pattern(32, 32, 3, 8), false).left(90); },
                   ApCorrupt},
        BrokenCase{"pdf_damaged", [] { return QByteArray("%PDF-1.4\nnothing else of a PDF here\n"); },
                   ApCorrupt}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.label); });

TEST_F(Document, ExistingTargetIsReplacedOnlyWhenComplete) {
    const QString input = write(QStringLiteral("in.jpg"), fx::jpegBytes(fx::photo(20, 20, 3)));
    const QString output = path(QStringLiteral("out.pdf"));
    ASSERT_TRUE(fx::writeBytes(output, "old"));
    EXPECT_EQ(convertImage(input, output).closed, 0);
    EXPECT_TRUE(probe::inspect(output).ok);
    const int h = ApCreate(output);
    EXPECT_EQ(ApAddImage(h, path(QStringLiteral("missing.jpg"))), ApCannotRead);
    ApDiscard(h);
}

} // namespace
