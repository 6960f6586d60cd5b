#include "pageops/apimgtopdf.h"

#include "core/globals.h"
#include "platform/imaging/imagetopdf.h"
#include "platform/imaging/formats/raster.h"
#include "tests/support/testdir.h"
#include "tests/tools/toolfixtures.h"
#include "tools/setorderprogress.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        engine.progress = SetOrderProgress(); // as the set-order dialog makes its engine
        ASSERT_TRUE(toolfx::writeBilevelTiff(path("bw.tif"), 64, 48));
        ASSERT_TRUE(toolfx::writeGreyPng(path("grey.png"), 40, 30));
        ASSERT_TRUE(toolfx::writeColourJpeg(path("colour.jpg"), 50, 20));
        ASSERT_TRUE(toolfx::writeRgbaPng(path("rgba.png"), 20, 20));
        ASSERT_TRUE(toolfx::writePaletteBmp(path("palette.bmp"), 24, 24));
        ASSERT_TRUE(writeFile(path("text.png"), "this is a text file, whatever its name says\n"));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList logLines() const { return storage.errorLog().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts); }
    static clsColSetOrderGrid record(const QString& fullPath) {
        clsColSetOrderGrid r;
        r.setFileLocation(QFileInfo(fullPath).absolutePath()); // without the trailing "/"
        r.setFilename(QFileInfo(fullPath).fileName());
        return r;
    }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The folder's files other than the inputs: a failed run must leave no temporary file.
    QStringList strayFiles(const QString& folder) const {
        QStringList out;
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            if (!QStringList{"bw.tif", "grey.png", "colour.jpg", "rgba.png", "palette.bmp", "text.png"}.contains(name))
                out << name;
        return out;
    }

    ScopedStorage storage;
    QTemporaryDir dir;
    ApImgToPdf engine;
};

} // namespace

TEST_F(Engine, EmptyPathsAnswerFalseAndCreateNothing) {
    const QString out = path("out.pdf");
    EXPECT_FALSE(engine.ConverImageToPdf(QString(), out, "Zip", "Zip", "Zip"));
    EXPECT_FALSE(engine.ConverImageToPdf(path("grey.png"), QString(), "Zip", "Zip", "Zip"));
    EXPECT_FALSE(engine.Convert_EachTiffToPDFbyOne(QString(), out));
    EXPECT_FALSE(engine.Convert_EachTiffToPDFbyOne(path("grey.png"), QString()));
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(Engine, OnlyTheCompressionOfTheImagesOwnColourClassIsApplied) {
    // The filter in the written PDF shows which name (if any) reached the library: an
    // image whose class got no name gets the library's default for it.
    struct Case {
        const char* image;
        int depth;
        const char *colour, *grey, *bw;
        const char* filter;
    } cases[] = {
        {"bw.tif", 1, "", "", "Zip", "/FlateDecode"},
        {"bw.tif", 1, "Zip", "Zip", "", "/CCITTFaxDecode"}, // no name for BW: default G4
        {"bw.tif", 1, "", "", "Lzw", "/LZWDecode"},
        {"grey.png", 8, "", "Lzw", "", "/LZWDecode"},
        {"grey.png", 8, "Lzw", "", "Lzw", "/FlateDecode"}, // only colour and BW named
        {"colour.jpg", 24, "Zip", "", "", "/FlateDecode"},
        {"colour.jpg", 24, "", "Zip", "Zip", "/DCTDecode"},  // passed through
        {"rgba.png", 32, "Lzw", "Lzw", "Lzw", "/FlateDecode"}, // no class for 32 bits
        {"palette.bmp", 4, "Lzw", "Lzw", "Lzw", "/FlateDecode"}, // nor for 4
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.image) + " " + c.colour + "/" + c.grey + "/" + c.bw);
        ASSERT_EQ(imaging::ApGetFunction(0, 211, 0, 0, path(c.image), 0), c.depth);
        const QString out = path(QStringLiteral("out%1.pdf").arg(++n));
        ASSERT_TRUE(engine.ConverImageToPdf(path(c.image), out, c.colour, c.grey, c.bw));
        const auto pages = toolfx::readPdf(out);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].filter, c.filter);
    }
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(Engine, ARejectedImageAnswersFalseLogsOnceAndLeavesTheTargetAsItWas) {
    const QString fresh = path("fresh.pdf");
    EXPECT_FALSE(engine.ConverImageToPdf(path("text.png"), fresh, "Jpeg", "Jpeg", "CCITT-G4"));
    EXPECT_FALSE(QFile::exists(fresh));

    const QString existing = path("existing.pdf");
    ASSERT_TRUE(writeFile(existing, "%PDF-1.4 an older document\n"));
    EXPECT_FALSE(engine.ConverImageToPdf(path("missing.tif"), existing, "", "", ""));
    EXPECT_EQ(contents(existing), QByteArray("%PDF-1.4 an older document\n"));
    EXPECT_FALSE(engine.Convert_EachTiffToPDFbyOne(path("text.png"), fresh));
    EXPECT_FALSE(QFile::exists(fresh));

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Error -")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("ApAddImage " + path("text.png") + ": "));
    EXPECT_TRUE(lines[0].contains(" in procedure ConverImageToPdf at Line No. "));
    EXPECT_TRUE(lines[0].contains(" of Class Module ApImgToPdf at time- "));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Error %1 (").arg(imaging::ApCannotRead)));
    EXPECT_TRUE(lines[2].contains(" in procedure Convert_EachTiffToPDFbyOne at Line No. "));
    EXPECT_EQ(strayFiles(dir.path()), QStringList{"existing.pdf"});
}

TEST_F(Engine, ATargetTheLibraryCannotCreateAnswersFalse) {
    EXPECT_FALSE(engine.ConverImageToPdf(path("grey.png"), path("no/such/folder/out.pdf"), "", "", ""));
    EXPECT_FALSE(QDir(path("no")).exists());
}

TEST_F(Engine, AFailedCloseAnswersFalseAndLogsIt) {
    // The folder disappears while the engine pumps messages between the add and the close.
    const QString folder = path("gone");
    ASSERT_TRUE(QDir().mkpath(folder));
    QTimer::singleShot(0, [&] { QDir(folder).removeRecursively(); });
    EXPECT_FALSE(engine.ConverImageToPdf(path("grey.png"), folder + "/out.pdf", "", "", ""));
    EXPECT_FALSE(QFile::exists(folder + "/out.pdf"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("ApClose " + folder + "/out.pdf: "));
    EXPECT_TRUE(lines[0].contains(" in procedure ConverImageToPdf at Line No. "));
}

TEST_F(Engine, MergeAddsTheRecordsInOrderAndMovesTheOrderDialogsProgressBar) {
    QDialog order;
    auto* bar = new QProgressBar(&order);
    bar->setObjectName(QStringLiteral("ProgressBar1"));
    bar->setRange(0, 3);
    SetOrderForm = &order;
    std::vector<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
        values.push_back(v);
        // Whatever happens to the members while the merge runs, it merges what it started with.
        engine.colOrderedData.clear();
        engine.FileNameToSave = path("other.pdf");
    });

    engine.colOrderedData = {record(path("colour.jpg")), record(path("bw.tif")), record(path("grey.png"))};
    engine.FileNameToSave = path("merged.pdf");
    EXPECT_TRUE(engine.MergeConvert_TiffToPdfx());
    SetOrderForm = nullptr;

    ASSERT_FALSE(values.empty());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), 3);
    EXPECT_FALSE(QFile::exists(path("other.pdf")));
    const auto pages = toolfx::readPdf(path("merged.pdf"));
    ASSERT_EQ(pages.size(), 3u);
    // Each page is its image at 96 dpi (what Qt writes into the PNG and JPEG, and the
    // default for the TIFF that says nothing).
    EXPECT_NEAR(pages[0].width, 50 * 72.0 / 96, 0.01);
    EXPECT_NEAR(pages[1].width, 64 * 72.0 / 96, 0.01);
    EXPECT_NEAR(pages[2].width, 40 * 72.0 / 96, 0.01);
    // No compression is set during a merge: every image gets the library's default.
    EXPECT_EQ(pages[0].filter, "/DCTDecode");
    EXPECT_EQ(pages[1].filter, "/CCITTFaxDecode");
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(Engine, WithoutReplaceAFileThatAppearsBeforeTheCommitIsKept) {
    // The file appears while the engine pumps messages, after any check a caller made.
    const QString target = path("late.pdf");
    QTimer::singleShot(0, [&] { writeFile(target, "%PDF-1.4 written meanwhile\n"); });
    EXPECT_FALSE(engine.ConverImageToPdf(path("grey.png"), target, "", "", "", false));
    EXPECT_EQ(contents(target), QByteArray("%PDF-1.4 written meanwhile\n"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("ApClose " + target + ": ")) << lines[0].toStdString();
    EXPECT_EQ(strayFiles(dir.path()).filter("late"), QStringList{"late.pdf"});
}

TEST_F(Engine, MergeAppendsEveryPageOfAPdfAndNeedsNoOrderDialog) {
    ASSERT_TRUE(engine.ConverImageToPdf(path("grey.png"), path("one.pdf"), "", "", ""));
    engine.colOrderedData = {record(path("one.pdf")), record(path("rgba.png"))};
    engine.FileNameToSave = path("first.pdf");
    ASSERT_TRUE(engine.MergeConvert_TiffToPdfx());
    engine.colOrderedData = {record(path("first.pdf")), record(path("palette.bmp"))};
    engine.FileNameToSave = path("second.pdf");

    // An order dialog that closed before the merge is simply not there to update.
    auto order = std::make_unique<QDialog>();
    SetOrderForm = order.get();
    order.reset();
    EXPECT_TRUE(engine.MergeConvert_TiffToPdfx());
    SetOrderForm = nullptr;
    EXPECT_EQ(toolfx::readPdf(path("second.pdf")).size(), 3u);
}

TEST_F(Engine, MergeIsAllOrNothing) {
    const QString target = path("merged.pdf");
    ASSERT_TRUE(writeFile(target, "%PDF-1.4 the merge of last week\n"));
    struct Case {
        const char* name;
        QStringList files;
        const char* named; // the file the log line must name
    } cases[] = {
        {"missing file in the middle", {path("grey.png"), path("missing.tif"), path("bw.tif")}, "missing.tif"},
        {"unreadable last file", {path("grey.png"), path("bw.tif"), path("text.png")}, "text.png"},
        {"nothing to merge", {}, "merged.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(StoragePath + "/Errors.Log");
        engine.colOrderedData.clear();
        for (const QString& f : c.files)
            engine.colOrderedData.append(record(f));
        engine.FileNameToSave = target;
        EXPECT_FALSE(engine.MergeConvert_TiffToPdfx());
        EXPECT_EQ(contents(target), QByteArray("%PDF-1.4 the merge of last week\n"));
        const QStringList lines = logLines();
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].contains(c.named));
        EXPECT_TRUE(lines[0].contains(" in procedure MergeConvert_TiffToPdfx at Line No. "));
        EXPECT_EQ(strayFiles(dir.path()), QStringList{"merged.pdf"});
    }
    QFile::remove(target);
    engine.colOrderedData = {record(path("grey.png")), record(path("missing.tif"))};
    EXPECT_FALSE(engine.MergeConvert_TiffToPdfx());
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(Engine, MergeWithoutATargetAnswersTrueAndTouchesNothing) {
    engine.colOrderedData = {record(path("grey.png"))};
    engine.FileNameToSave.clear();
    EXPECT_TRUE(engine.MergeConvert_TiffToPdfx());
    EXPECT_TRUE(strayFiles(dir.path()).isEmpty());
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(Engine, MessagesArePumpedWhileTheEngineWorks) {
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    ASSERT_TRUE(engine.Convert_EachTiffToPDFbyOne(path("bw.tif"), path("each.pdf")));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(toolfx::readPdf(path("each.pdf")).size(), 1u);

    QTimer::singleShot(0, [&] { ++fired; });
    engine.colOrderedData = {record(path("bw.tif"))};
    engine.FileNameToSave = path("m.pdf");
    ASSERT_TRUE(engine.MergeConvert_TiffToPdfx());
    EXPECT_EQ(fired, 2);
}

TEST_F(Engine, MergeRefusesANameThatStandsForBytesThatAreNotUtf8) {
    // The text the file system gives for such a name names another file, here one that exists.
    const QString shown = path(QStringLiteral("scan") + QChar::ReplacementCharacter + QStringLiteral(".png"));
    ASSERT_TRUE(QFile::copy(path("grey.png"), shown));
    engine.colOrderedData = {record(path("bw.tif")), record(shown)};
    engine.FileNameToSave = path("odd.pdf");
    EXPECT_FALSE(engine.MergeConvert_TiffToPdfx());
    EXPECT_FALSE(QFile::exists(path("odd.pdf")));
    EXPECT_TRUE(logLines().value(0).contains(shown));
}
