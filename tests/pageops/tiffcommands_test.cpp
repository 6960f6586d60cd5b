// TiffPdfCommands on TIFFs: insert, delete, merge, split, extract, image into TIFF.
#include "core/globals.h"
#include "pageops/tiffpdfcommands.h"
#include "platform/imaging/formats/jp2reader.h"
#include "tests/pageops/pageopsfixtures.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <sys/stat.h>
#include <unistd.h>

using namespace pofx;

namespace {

clsColSetOrderGrid record(const QString& path) {
    clsColSetOrderGrid r;
    r.setFileLocation(QFileInfo(path).absolutePath());
    r.setFilename(QFileInfo(path).fileName());
    return r;
}

uint16_t compressionOf(const QString& path, int page = 1) {
    uint16_t c = 0;
    if (TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r")) {
        if (TIFFSetDirectory(t, tdir_t(page - 1))) TIFFGetField(t, TIFFTAG_COMPRESSION, &c);
        TIFFClose(t);
    }
    return c;
}

// Page `page` as libtiff decodes it.
std::vector<uint32_t> rgbaOf(const QString& path, int page) {
    std::vector<uint32_t> pixels;
    if (TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r")) {
        uint32_t w = 0, h = 0;
        if (TIFFSetDirectory(t, tdir_t(page - 1)) && TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) &&
            TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h)) {
            pixels.resize(size_t(w) * h);
            if (!TIFFReadRGBAImage(t, w, h, pixels.data(), 0)) pixels.clear();
        }
        TIFFClose(t);
    }
    return pixels;
}

// The samples of a one-strip-per-row-readable page as stored, rows packed, 16-bit samples
// turned big-endian (the order decoded pages and the fixtures use); empty when unreadable.
struct StoredPage {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0;
    float xres = 0;
    std::vector<uint8_t> data;
};
StoredPage storedPage(const QString& path) {
    StoredPage page;
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!t) return page;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &page.bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &page.photometric);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &page.xres);
    const tmsize_t row = TIFFScanlineSize(t);
    page.data.resize(size_t(row) * page.height);
    for (uint32_t y = 0; y < page.height; ++y)
        if (TIFFReadScanline(t, page.data.data() + size_t(y) * size_t(row), y, 0) < 0) page.data.clear();
    TIFFClose(t);
    if (page.bits == 16)
        for (size_t i = 0; i + 1 < page.data.size(); i += 2) {
            const uint16_t v = uint16_t(page.data[i] | page.data[i + 1] << 8);
            page.data[i] = uint8_t(v >> 8);
            page.data[i + 1] = uint8_t(v);
        }
    return page;
}

class TiffCommands : public PageOpsTest {
protected:
    ScopedStorage storage;
    TiffPdfCommands commands;
};

TEST_F(TiffCommands, InsertAtTheStartInsideAndAtTheEndKeepsTheStoredBytes) {
    const QString insert = path("insert.tif");
    ASSERT_TRUE(makeTiff(insert, {11, 12}));
    const struct {
        int at;
        std::vector<int> marks;
    } cases[] = {{0, {11, 12, 1, 2, 3}}, {2, {1, 2, 11, 12, 3}}, {3, {1, 2, 3, 11, 12}}};
    for (const auto& c : cases) {
        const QString target = path(QStringLiteral("t%1.tif").arg(c.at));
        ASSERT_TRUE(makeTiff(target, {1, 2, 3}));
        ASSERT_TRUE(commands.AppendFileTiffFile(target, insert, c.at)) << c.at;
        EXPECT_EQ(tiffMarks(target), c.marks) << c.at;
        // Pages are copied, not re-encoded: the G4 strips are the very same bytes.
        EXPECT_EQ(rawStrips(target, c.at + 1), rawStrips(insert, 1)) << c.at;
        EXPECT_EQ(compressionOf(target, c.at + 1), COMPRESSION_CCITTFAX4);
    }
    const QString target = path("t.tif");
    ASSERT_TRUE(makeTiff(target, {1, 2, 3}));
    const QByteArray before = readAll(target);
    EXPECT_FALSE(commands.AppendFileTiffFile(target, insert, 4));
    EXPECT_FALSE(commands.AppendFileTiffFile(target, insert, -1));
    EXPECT_FALSE(commands.AppendFileTiffFile(target, path("missing.tif"), 1));
    EXPECT_EQ(readAll(target), before);
    EXPECT_TRUE(storage.errorLog().contains(u"Error 9 "));
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure AppendFileTiffFile at Line No. "));
}

TEST_F(TiffCommands, DeleteTiffPageWithinBoundsOnly) {
    const QString file = path("d.tif");
    ASSERT_TRUE(makeTiff(file, {1, 2, 3}, COMPRESSION_LZW));
    ASSERT_TRUE(commands.DeleteTiffPage(file, 2));
    EXPECT_EQ(tiffMarks(file), (std::vector<int>{1, 3}));
    EXPECT_EQ(compressionOf(file, 2), COMPRESSION_LZW);
    ASSERT_TRUE(commands.DeleteTiffPage(file, 2));
    EXPECT_EQ(tiffMarks(file), std::vector<int>{1});
    const QByteArray before = readAll(file);
    for (int page : {0, 2, 1}) // the last one: a file's only page stays
        EXPECT_FALSE(commands.DeleteTiffPage(file, page)) << page;
    EXPECT_EQ(readAll(file), before);
}

TEST_F(TiffCommands, CombineOrderTiffMergesEveryPageInOrder) {
    const QString a = path("a.tif"), b = path("b.tif"), c = path("c.tif");
    ASSERT_TRUE(makeTiff(a, {1, 2}));
    ASSERT_TRUE(makeTiff(b, {3}, COMPRESSION_PACKBITS));
    ASSERT_TRUE(makeTiff(c, {4, 5}));
    commands.colOrderedData = {record(a), record(b), record(c)};
    commands.FileNameToSave = path("out.tif");
    std::vector<std::pair<int, QString>> seen;
    commands.progress = [&](int done, int total, const QString& file) {
        EXPECT_EQ(total, 3);
        seen.emplace_back(done, file);
    };
    ASSERT_TRUE(commands.CombineOrderTiff());
    EXPECT_EQ(tiffMarks(commands.FileNameToSave), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(rawStrips(commands.FileNameToSave, 5), rawStrips(c, 2));
    EXPECT_EQ(compressionOf(commands.FileNameToSave, 3), COMPRESSION_PACKBITS);
    const std::vector<std::pair<int, QString>> expected = {{1, a}, {2, b}, {3, c}, {0, QString()}};
    EXPECT_EQ(seen, expected);

    // A merge of one file is that file.
    commands.progress = nullptr;
    commands.colOrderedData = {record(b)};
    ASSERT_TRUE(commands.CombineOrderTiff());
    EXPECT_EQ(readAll(commands.FileNameToSave), readAll(b));
}

TEST_F(TiffCommands, CombineOrderTiffCopiesTilesJpegAndPalettePagesAsStored) {
    fx::TiffPage tiled;
    tiled.image = fx::pattern(40, 35, 3, 8);
    tiled.photometric = PHOTOMETRIC_RGB;
    tiled.compression = COMPRESSION_LZW;
    tiled.tiled = true;
    fx::TiffPage jpeg;
    jpeg.image = fx::photo(48, 32, 3);
    jpeg.photometric = PHOTOMETRIC_RGB;
    jpeg.compression = COMPRESSION_JPEG;
    jpeg.rowsPerStrip = 16;
    fx::TiffPage palette;
    palette.image = fx::pattern(30, 20, 1, 4);
    palette.photometric = PHOTOMETRIC_PALETTE;
    for (int i = 0; i < 16; ++i)
        palette.palette.insert(palette.palette.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 5)});
    const QString a = path("tiled.tif"), b = path("jpeg.tif"), c = path("palette.tif");
    ASSERT_TRUE(fx::writeTiff(a, {tiled}));
    ASSERT_TRUE(fx::writeTiff(b, {jpeg}));
    ASSERT_TRUE(fx::writeTiff(c, {palette}));
    commands.colOrderedData = {record(a), record(b), record(c)};
    commands.FileNameToSave = path("out.tif");
    ASSERT_TRUE(commands.CombineOrderTiff());
    const QString sources[] = {a, b, c};
    for (int page = 1; page <= 3; ++page) {
        const std::vector<uint32_t> expected = rgbaOf(sources[page - 1], 1);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(rgbaOf(commands.FileNameToSave, page), expected) << page;
    }
    EXPECT_EQ(compressionOf(commands.FileNameToSave, 2), COMPRESSION_JPEG);
}

TEST_F(TiffCommands, CombineOrderTiffNeedsNothingOfTheProgramFolder) {
    // Temporaries of another merge under the names an older design used must not matter.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QStringList stale = {programFolder + QStringLiteral("/test_merge_split1.tif"),
                               programFolder + QStringLiteral("/test_merge_split2.tif")};
    ASSERT_TRUE(makeTiff(stale[0], {40}));
    ASSERT_TRUE(makeTiff(stale[1], {41}));
    const QStringList before = entries(programFolder);
    struct stat st {};
    ::stat(QFile::encodeName(programFolder).constData(), &st);
    const bool readOnly = ::geteuid() != 0; // root writes anywhere: then the listing is the check
    if (readOnly) ::chmod(QFile::encodeName(programFolder).constData(), st.st_mode & ~0222);

    const QString a = path("a.tif"), b = path("b.tif");
    ASSERT_TRUE(makeTiff(a, {1}));
    ASSERT_TRUE(makeTiff(b, {2}));
    commands.FileNameToSave = path("out.tif");
    commands.colOrderedData = {record(a), record(b)};
    const bool two = commands.CombineOrderTiff();
    commands.FileNameToSave = path("one.tif");
    commands.colOrderedData = {record(a)};
    const bool one = commands.CombineOrderTiff();

    if (readOnly) ::chmod(QFile::encodeName(programFolder).constData(), st.st_mode);
    EXPECT_EQ(entries(programFolder), before);
    QFile::remove(stale[0]);
    QFile::remove(stale[1]);
    ASSERT_TRUE(two);
    ASSERT_TRUE(one);
    EXPECT_EQ(tiffMarks(path("out.tif")), (std::vector<int>{1, 2}));
    EXPECT_EQ(tiffMarks(path("one.tif")), std::vector<int>{1});
}

TEST_F(TiffCommands, CombineOrderTiffFailureLeavesTheTargetAsItWas) {
    const QString a = path("a.tif"), damaged = path("damaged.tif"), c = path("c.tif");
    ASSERT_TRUE(makeTiff(a, {1}));
    ASSERT_TRUE(makeTiff(c, {3}));
    ASSERT_TRUE(writeFile(damaged, QByteArray("II*\0\x08\0\0\0\xff\xff", 10)));
    const QString target = path("target.tif");
    ASSERT_TRUE(makeTiff(target, {9, 9}));
    const QByteArray before = readAll(target);
    commands.FileNameToSave = target;

    for (const clsColSetOrderGridList& list : {clsColSetOrderGridList{record(a), record(damaged), record(c)},
                                               clsColSetOrderGridList{record(damaged)},
                                               clsColSetOrderGridList{record(a), record(path("missing.tif"))},
                                               clsColSetOrderGridList{}}) {
        commands.colOrderedData = list;
        EXPECT_FALSE(commands.CombineOrderTiff());
        EXPECT_EQ(readAll(target), before);
    }
    {
        commands.colOrderedData = {record(a), record(c)};
        ScopedFileSizeLimit limit(200); // the disk fills while the merge writes
        EXPECT_FALSE(commands.CombineOrderTiff());
    }
    EXPECT_EQ(readAll(target), before);
    EXPECT_EQ(entries(m_dir.path()), (QStringList{"a.tif", "c.tif", "damaged.tif", "target.tif"}));
    EXPECT_TRUE(storage.errorLog().isEmpty()); // this method reports by its answer only

    commands.FileNameToSave.clear();
    EXPECT_FALSE(commands.CombineOrderTiff());
}

TEST_F(TiffCommands, SplitTiffFilesWritesBothHalvesOrNeither) {
    const QString source = path("scan.page1.tif");
    ASSERT_TRUE(makeTiff(source, {1, 2, 3, 4, 5}));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    ASSERT_TRUE(commands.SplitTiffFiles(source, 2, out, QStringLiteral("part")));
    const QString folder = out + QStringLiteral("/scan.page1/");
    EXPECT_EQ(tiffMarks(folder + QStringLiteral("part1.tif")), (std::vector<int>{1, 2}));
    EXPECT_EQ(tiffMarks(folder + QStringLiteral("part2.tif")), (std::vector<int>{3, 4, 5}));

    for (int page : {0, 5})
        EXPECT_FALSE(commands.SplitTiffFiles(source, page, out, QStringLiteral("bad"))) << page;
    // The second half cannot be put in place: the first is taken back.
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("x2.tif")));
    EXPECT_FALSE(commands.SplitTiffFiles(source, 1, out, QStringLiteral("x")));
    EXPECT_EQ(entries(folder), (QStringList{"part1.tif", "part2.tif", "x2.tif"}));
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure SplitTiffFiles at Line No. "));
}

TEST_F(TiffCommands, SplitTiffFilesIntoTheSourcesOwnNameKeepsEveryPage) {
    // out/p1/p1.tif split with the name "p": the first half is named like the source.
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/p1")));
    const QString source = out + QStringLiteral("/p1/p1.tif");
    ASSERT_TRUE(makeTiff(source, {1, 2, 3}));
    ASSERT_TRUE(commands.SplitTiffFiles(source, 1, out, QStringLiteral("p")));
    EXPECT_EQ(tiffMarks(source), std::vector<int>{1});
    EXPECT_EQ(tiffMarks(out + QStringLiteral("/p1/p2.tif")), (std::vector<int>{2, 3}));

    // out/q2/q2.tif with the name "q": the second half is.
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/q2")));
    const QString second = out + QStringLiteral("/q2/q2.tif");
    ASSERT_TRUE(makeTiff(second, {1, 2, 3}));
    ASSERT_TRUE(commands.SplitTiffFiles(second, 2, out, QStringLiteral("q")));
    EXPECT_EQ(tiffMarks(out + QStringLiteral("/q2/q1.tif")), (std::vector<int>{1, 2}));
    EXPECT_EQ(tiffMarks(second), std::vector<int>{3});
}

TEST_F(TiffCommands, ExtractNamesPagesAfterTheSourceWithPaddedNumbers) {
    const QString source = path("book.tif");
    std::vector<int> marks;
    for (int k = 1; k <= 12; ++k)
        marks.push_back(k);
    ASSERT_TRUE(makeTiff(source, marks));
    const QString out = path("out");
    ASSERT_TRUE(QDir().mkdir(out));
    ASSERT_TRUE(commands.ExtractTIFFpagesbyRange(source, 3, 5, out));
    const QString folder = out + QStringLiteral("/book/");
    EXPECT_EQ(entries(folder), (QStringList{"book_03.tif", "book_04.tif", "book_05.tif"}));
    EXPECT_EQ(tiffMarks(folder + QStringLiteral("book_04.tif")), std::vector<int>{4});
    EXPECT_EQ(rawStrips(folder + QStringLiteral("book_04.tif"), 1), rawStrips(source, 4));

    ASSERT_TRUE(commands.ExtractAllTIFFpages(source, out));
    EXPECT_EQ(entries(folder).size(), 12);
    EXPECT_EQ(tiffMarks(folder + QStringLiteral("book_12.tif")), std::vector<int>{12});

    EXPECT_FALSE(commands.ExtractTIFFpagesbyRange(source, 11, 13, out));
    EXPECT_FALSE(commands.ExtractTIFFpagesbyRange(source, 5, 4, out));
    EXPECT_FALSE(commands.ExtractAllTIFFpages(path("missing.tif"), out));
    EXPECT_EQ(entries(folder).size(), 12);
}

TEST_F(TiffCommands, ConverImageToTiffChecksTheCompressionAgainstEachPage) {
    const QString bilevel = path("bw.png"), grey = path("grey.png"), colour = path("colour.jpg");
    fx::PngOptions at300;
    at300.dpi = 300;
    ASSERT_TRUE(fx::writeBytes(bilevel, fx::pngBytes(fx::pattern(64, 32, 1, 1), at300)));
    ASSERT_TRUE(fx::writeBytes(grey, fx::pngBytes(fx::pattern(64, 32, 1, 8))));
    ASSERT_TRUE(fx::writeBytes(colour, fx::jpegBytes(fx::photo(64, 32, 3))));
    const struct {
        QString input;
        int compression;
        uint16_t written; // 0: refused
    } cases[] = {
        {bilevel, 0, COMPRESSION_CCITTFAX4}, {bilevel, 3, COMPRESSION_CCITTFAX3}, {bilevel, 1, COMPRESSION_NONE},
        {bilevel, 7, 0},                     {grey, 0, COMPRESSION_LZW},           {grey, 4, 0},
        {grey, 8, COMPRESSION_ADOBE_DEFLATE}, {grey, 32773, COMPRESSION_PACKBITS}, {colour, 7, COMPRESSION_JPEG},
        {colour, 3, 0},                      {colour, 2, 0},                       {colour, 0, COMPRESSION_LZW},
    };
    for (const auto& c : cases) {
        const QString out = path(QStringLiteral("out%1.tif").arg(c.compression));
        QFile::remove(out);
        const QString name = QFileInfo(c.input).fileName() + QString::number(c.compression);
        EXPECT_EQ(commands.ConverImageToTiff(c.input, out, c.compression), c.written != 0) << name.toStdString();
        EXPECT_EQ(QFile::exists(out), c.written != 0) << name.toStdString();
        if (c.written) {
            EXPECT_EQ(compressionOf(out), c.written) << name.toStdString();
        }
    }
    // Decoded again, the pixels are the source's; the resolution is kept.
    ASSERT_TRUE(commands.ConverImageToTiff(bilevel, path("bw.tif"), 0));
    EXPECT_EQ(QImage(path("bw.tif")).convertToFormat(QImage::Format_Grayscale8),
              QImage(bilevel).convertToFormat(QImage::Format_Grayscale8));
    EXPECT_EQ(QImage(path("bw.tif")).dotsPerMeterX(), QImage(bilevel).dotsPerMeterX());
    // Every page of a multi-page source.
    ASSERT_TRUE(makeTiff(path("three.tif"), {1, 2, 3}));
    ASSERT_TRUE(commands.ConverImageToTiff(path("three.tif"), path("three-lzw.tif"), 5));
    EXPECT_EQ(tiffMarks(path("three-lzw.tif")), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(compressionOf(path("three-lzw.tif"), 3), COMPRESSION_LZW);
    EXPECT_TRUE(storage.errorLog().contains(u"in procedure ConverImageToTiff at Line No. "));
}

TEST_F(TiffCommands, ConverImageToTiffTakesJpeg2000PixelForPixel) {
    const struct {
        const char* name;
        int channels, bits;
        bool codestream;
        int compression;
        uint16_t photometric;
    } cases[] = {
        {"rgb8.jp2", 3, 8, false, 0, PHOTOMETRIC_RGB},
        {"grey16.jp2", 1, 16, false, 8, PHOTOMETRIC_MINISBLACK},
        {"rgb16.j2k", 3, 16, true, 32773, PHOTOMETRIC_RGB},
        {"grey8.j2k", 1, 8, true, 1, PHOTOMETRIC_MINISBLACK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = path(QString::fromLatin1(c.name)), out = source + QStringLiteral(".tif");
        const fx::Image image = fx::pattern(53, 37, c.channels, c.bits, c.bits + c.channels);
        ASSERT_TRUE(fx::writeBytes(source, fx::jp2Bytes(image, c.codestream, c.codestream ? 0 : 300)));
        ASSERT_TRUE(commands.ConverImageToTiff(source, out, c.compression));
        imaging::RasterPage decoded;
        QString error;
        ASSERT_EQ(imaging::decodeJp2(source, c.codestream, decoded, error), imaging::ApOk)
            << error.toStdString();
        const StoredPage page = storedPage(out);
        EXPECT_EQ(page.width, 53u);
        EXPECT_EQ(page.height, 37u);
        EXPECT_EQ(page.bits, c.bits);
        EXPECT_EQ(page.samples, c.channels);
        EXPECT_EQ(page.photometric, c.photometric);
        EXPECT_EQ(compressionOf(out), c.compression ? c.compression : COMPRESSION_LZW);
        // Lossless files: the decoder gives the source's samples, and the TIFF holds them.
        EXPECT_TRUE(page.data == decoded.pixels);
        EXPECT_TRUE(page.data == image.data);
        EXPECT_NEAR(page.xres, c.codestream ? 0 : 300, 0.5);
    }
    // A damaged file fails like any unreadable image, and nothing is written.
    QByteArray cut = fx::jp2Bytes(fx::pattern(64, 64, 3, 8), false);
    cut.chop(cut.size() / 2);
    ASSERT_TRUE(fx::writeBytes(path("cut.jp2"), cut));
    EXPECT_FALSE(commands.ConverImageToTiff(path("cut.jp2"), path("cut.tif"), 0));
    EXPECT_FALSE(QFile::exists(path("cut.tif")));
    EXPECT_TRUE(storage.errorLog().contains(u"cut.jp2"));
}

} // namespace
