// Unusual but legal inputs and targets, and damaged files that look good, through the
// engine as the dialogs call it.
#include "pageops/apimgtopdf.h"

#include "core/globals.h"
#include "tests/support/testdir.h"
#include "tests/tools/toolfixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

class TrickyInput : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    static QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static clsColSetOrderGrid record(const QString& fullPath) {
        clsColSetOrderGrid r;
        r.setFileLocation(QFileInfo(fullPath).absolutePath());
        r.setFilename(QFileInfo(fullPath).fileName());
        return r;
    }
    bool merge(const QStringList& files, const QString& target) {
        engine.colOrderedData.clear();
        for (const QString& f : files)
            engine.colOrderedData.append(record(f));
        engine.FileNameToSave = target;
        return engine.MergeConvert_TiffToPdfx();
    }

    ScopedStorage storage;
    QTemporaryDir dir;
    ApImgToPdf engine;
};

// The JPEG's first Huffman table made one libjpeg refuses ("Bogus Huffman table
// definition"): more codes than a table may hold.
QByteArray withBogusHuffmanTable(QByteArray jpeg) {
    const qsizetype dht = jpeg.indexOf("\xFF\xC4");
    if (dht < 0)
        return {};
    jpeg[dht + 5 + 14] = char(0xFF); // code counts of lengths 15 and 16
    jpeg[dht + 5 + 15] = char(0xFF);
    return jpeg;
}

void writePdf(const QString& file, const char* userPassword) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 300] /Resources << >> >>");
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 100 100 l S\n"));
    pdf.addPage(pdf.makeIndirectObject(page), false);
    const QByteArray name = QFile::encodeName(file);
    QPDFWriter w(pdf, name.constData());
    w.setR6EncryptionParameters(userPassword, "owner", true, false, false, false, false, false, qpdf_r3p_none, true);
    w.write();
}

} // namespace

TEST_F(TrickyInput, AJpegLibjpegRefusesIsNeverPassedThroughNorMergedOverTheTarget) {
    ASSERT_TRUE(toolfx::writeColourJpeg(path("good.jpg"), 64, 48));
    const QByteArray good = contents(path("good.jpg"));
    const QByteArray bogus = withBogusHuffmanTable(good);
    ASSERT_FALSE(bogus.isEmpty());
    ASSERT_TRUE(writeFile(path("bogus.jpg"), bogus));
    // Damage libjpeg only warns about (codes it cannot read in the coded data) is accepted.
    QByteArray badCodes = good;
    for (qsizetype i = badCodes.size() - 200; i < badCodes.size() - 100; i += 7)
        if (uint8_t(badCodes[i]) != 0xFF && uint8_t(badCodes[i - 1]) != 0xFF)
            badCodes[i] = char(0x5A);
    ASSERT_TRUE(writeFile(path("badcodes.jpg"), badCodes));

    EXPECT_FALSE(engine.ConverImageToPdf(path("bogus.jpg"), path("bogus.pdf"), "Jpeg", "", ""));
    EXPECT_FALSE(QFile::exists(path("bogus.pdf")));
    EXPECT_TRUE(storage.errorLog().contains("Bogus Huffman table definition"));
    EXPECT_TRUE(engine.ConverImageToPdf(path("badcodes.jpg"), path("badcodes.pdf"), "Jpeg", "", ""));

    const QString target = path("merged.pdf");
    ASSERT_TRUE(writeFile(target, "%PDF-1.4 the merge of last week\n"));
    EXPECT_FALSE(merge({path("good.jpg"), path("bogus.jpg")}, target));
    EXPECT_EQ(contents(target), QByteArray("%PDF-1.4 the merge of last week\n"));
}

TEST_F(TrickyInput, ATargetNameOfTheLongestLegalLengthIsWritten) {
    ASSERT_TRUE(toolfx::writeGreyPng(path("grey.png"), 40, 30));
    const QString name = QString(251, QLatin1Char('n')) + QStringLiteral(".pdf"); // 255 bytes
    ASSERT_EQ(QFile::encodeName(name).size(), 255);
    EXPECT_TRUE(engine.ConverImageToPdf(path("grey.png"), path(name), "", "Zip", ""));
    EXPECT_EQ(toolfx::readPdf(path(name)).size(), 1u);
    EXPECT_TRUE(merge({path("grey.png"), path("grey.png")}, path(name)));
    EXPECT_EQ(toolfx::readPdf(path(name)).size(), 2u);
}

TEST_F(TrickyInput, APdfThatOpensWithoutAPasswordIsMergedOneThatNeedsOneIsNot) {
    ASSERT_TRUE(toolfx::writeGreyPng(path("grey.png"), 40, 30));
    writePdf(path("owner.pdf"), ""); // restricted by an owner password only
    writePdf(path("locked.pdf"), "user");
    EXPECT_TRUE(merge({path("grey.png"), path("owner.pdf")}, path("merged.pdf")));
    EXPECT_EQ(toolfx::readPdf(path("merged.pdf")).size(), 2u);
    EXPECT_FALSE(merge({path("grey.png"), path("locked.pdf")}, path("refused.pdf")));
    EXPECT_FALSE(QFile::exists(path("refused.pdf")));
}

TEST_F(TrickyInput, AFifoNamedLikeAnImageIsRefusedAtOnce) {
    const QString fifo = path("scan.tif");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Should a read ever wait on the pipe, a writer opened after a while lets it go on, so
    // the test fails instead of hanging.
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::atomic<bool> rescued = false;
    std::thread guard([&] {
        std::unique_lock lock(mutex);
        auto wait = std::chrono::seconds(20);
        while (!done.wait_for(lock, wait, [&] { return finished; })) {
            rescued = true;
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            wait = std::chrono::seconds(1);
        }
    });
    const bool converted = engine.ConverImageToPdf(fifo, path("scan.pdf"), "", "", "");
    ASSERT_TRUE(writeFile(path("merged.pdf"), "%PDF-1.4 kept\n"));
    const bool merged = merge({fifo}, path("merged.pdf"));
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    done.notify_one();
    guard.join();
    EXPECT_FALSE(rescued) << "the conversion waited on the pipe";
    EXPECT_FALSE(converted);
    EXPECT_FALSE(merged);
    EXPECT_FALSE(QFile::exists(path("scan.pdf")));
    EXPECT_EQ(contents(path("merged.pdf")), QByteArray("%PDF-1.4 kept\n"));
    EXPECT_TRUE(storage.errorLog().contains("not a regular file"));
}
