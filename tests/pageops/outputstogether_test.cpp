// Calls that write several files put them in place together: a failure, or a kill, part way
// through changes no file that was already at a target and leaves nothing behind, and a call
// may write more files than the process has descriptors.
#include "pageops/appdftoimage.h"
#include "pageops/tiffpdfcommands.h"
#include "platform/pdfpages/pdfsplit.h"
#include "platform/pdfrender/pdftoimage.h"
#include "tests/pageops/pageopsfixtures.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testdir.h"
#include "tests/support/inchild.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pofx;

namespace {

const QByteArray kMine("the user's own file");

qint64 sizeOf(const QString& path) { return QFileInfo(path).size(); }


class ScopedDescriptorLimit {
public:
    explicit ScopedDescriptorLimit(rlim_t soft) {
        getrlimit(RLIMIT_NOFILE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = soft;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~ScopedDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &m_old); }

private:
    rlimit m_old{};
};

class OutputsTogether : public PageOpsTest {
protected:
    ScopedStorage storage;
    TiffPdfCommands commands;
};

TEST_F(OutputsTogether, ASplitFailingAtALaterPartKeepsTheFileAtAnEarlierTarget) {
    // Part 1 holds page 1, part 2 all four pages: a file size limit between the two lets
    // the first be written and makes the second fail for real.
    const QString source = path("doc.pdf");
    ASSERT_TRUE(makePdf(source, 4));
    const QString out = path("out"), folder = path("out/doc");
    ASSERT_TRUE(QDir().mkpath(path("sizes")));
    ASSERT_TRUE(commands.SplitPDFFiles(source, QStringLiteral("1, 1-4"), path("sizes"), QStringLiteral("r")));
    const qint64 first = sizeOf(path("sizes/doc/r1.pdf")), second = sizeOf(path("sizes/doc/r2.pdf"));
    ASSERT_LT(first + 200, second);

    ASSERT_TRUE(writeFile(folder + QStringLiteral("/r1.pdf"), kMine));
    {
        ScopedFileSizeLimit limit(rlim_t(first + second) / 2);
        EXPECT_FALSE(commands.SplitPDFFiles(source, QStringLiteral("1, 1-4"), out, QStringLiteral("r")));
    }
    EXPECT_EQ(readAll(folder + QStringLiteral("/r1.pdf")), kMine);
    EXPECT_EQ(entries(folder), QStringList{"r1.pdf"});
}

TEST_F(OutputsTogether, AnExtractOrEachTiffToPdfFailingLaterKeepsEveryEarlierTarget) {
    // Uncompressed, page 3 is far larger than pages 1 and 2.
    const QString source = path("book.tif");
    ASSERT_TRUE(makeTiff(source, {1, 2, 4000}, COMPRESSION_NONE));
    const QString folder = path("out/book");
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/book_1.tif"), kMine));
    {
        ScopedFileSizeLimit limit(4096);
        EXPECT_FALSE(commands.ExtractAllTIFFpages(source, path("out")));
    }
    EXPECT_EQ(readAll(folder + QStringLiteral("/book_1.tif")), kMine);
    EXPECT_EQ(entries(folder), QStringList{"book_1.tif"});

    // One PDF per TIFF: the second TIFF is damaged.
    const QString good = path("a.tif"), bad = path("b.tif");
    ASSERT_TRUE(makeTiff(good, {1}));
    ASSERT_TRUE(writeFile(bad, "II*\0garbage"));
    ASSERT_TRUE(writeFile(path("pdfs/a.Pdf"), kMine));
    clsColSetOrderGridList records;
    for (const QString& file : {good, bad}) {
        clsColSetOrderGrid record;
        record.setFileLocation(m_dir.path());
        record.setFilename(QFileInfo(file).fileName());
        records.append(record);
    }
    commands.colOrderedData = records;
    EXPECT_FALSE(commands.Convert_EachTiffToPDFx(path("pdfs")));
    EXPECT_EQ(readAll(path("pdfs/a.Pdf")), kMine);
    EXPECT_EQ(entries(path("pdfs")), QStringList{"a.Pdf"});
}

TEST_F(OutputsTogether, PdfToImageFailingAtADamagedPageKeepsEveryEarlierImage) {
    // Page 2 claims a size no image can hold: it fails after page 1 was rendered.
    const QString small = path("small.pdf"), huge = path("huge.pdf"), mixed = path("mixed.pdf");
    ASSERT_TRUE(makePdf(small, 1));
    ASSERT_TRUE(makePdf(huge, 1, {.firstMark = 20000}));
    ASSERT_TRUE(commands.AppendPdfFile(small, huge, QString(), mixed));
    const QString folder = path("out/mixed");
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/p1.png"), kMine));
    ApPdfToImage converter;
    EXPECT_FALSE(converter.ConvertPDFToImage(mixed, path("out"), 2, QStringLiteral("p"), pdfrender::kPng));
    EXPECT_EQ(pdfrender::apLastFailure().number, 321);
    EXPECT_EQ(readAll(folder + QStringLiteral("/p1.png")), kMine);
    EXPECT_EQ(entries(folder), QStringList{"p1.png"});
}

TEST_F(OutputsTogether, AKilledCallLeavesEveryTargetAsItWas) {
    const QString source = path("doc.pdf");
    ASSERT_TRUE(makePdf(source, 4));
    const QString folder = path("out");
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/r1.pdf"), kMine));
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/p1.png"), kMine));

    // The kernel kills the split while it writes its second part (SIGXFSZ past the size limit).
    fileio::Failure failure;
    ASSERT_TRUE(QDir().mkpath(path("sizes")));
    ASSERT_TRUE(pdfpages::splitPdf(source, QStringLiteral("1, 1-4"), path("sizes/r"), QString(), failure));
    const int split = inChild([&] {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
        std::signal(SIGXFSZ, SIG_DFL);
        const rlim_t between = rlim_t(sizeOf(path("sizes/r1.pdf")) + sizeOf(path("sizes/r2.pdf"))) / 2;
        const rlimit size{between, between};
        setrlimit(RLIMIT_FSIZE, &size);
        fileio::Failure ignored;
        pdfpages::splitPdf(source, QStringLiteral("1, 1-4"), folder + QStringLiteral("/r"), QString(), ignored);
    });
    ASSERT_TRUE(WIFSIGNALED(split) && WTERMSIG(split) == SIGXFSZ) << split;

    // A rendering job killed after its pages were written, before it was closed.
    const int render = inChild([&] {
        const int handle = pdfrender::apOpen(source);
        pdfrender::apSetProperty(handle, pdfrender::kOutputFolder, folder, 0);
        pdfrender::apSetProperty(handle, pdfrender::kPrefix, QStringLiteral("p"), 0);
        for (int page = 1; page <= 4; ++page)
            pdfrender::apConvertPage(handle, page);
        raise(SIGKILL);
    });
    ASSERT_TRUE(WIFSIGNALED(render) && WTERMSIG(render) == SIGKILL) << render;

    EXPECT_EQ(readAll(folder + QStringLiteral("/r1.pdf")), kMine);
    EXPECT_EQ(readAll(folder + QStringLiteral("/p1.png")), kMine);
    EXPECT_EQ(entries(folder), (QStringList{"p1.png", "r1.pdf"}));
}

TEST_F(OutputsTogether, ASplitIntoMoreFilesThanTheDescriptorLimitWorks) {
    constexpr int kPages = 300;
    const QString source = path("long.pdf");
    ASSERT_TRUE(makePdf(source, kPages));
    ASSERT_LT(QDir(QStringLiteral("/proc/self/fd")).count(), 64u);
    const auto check = [&](const QString& folder) {
        EXPECT_EQ(entries(folder).size(), kPages) << folder.toStdString(); // no hidden file left
        EXPECT_EQ(pdfMarks(folder + QStringLiteral("/p001.pdf")), std::vector<int>{1}); // replaced
        EXPECT_EQ(pdfMarks(folder + QStringLiteral("/p300.pdf")), std::vector<int>{300});
    };
    fileio::Failure failure;
    ASSERT_TRUE(writeFile(path("low/p001.pdf"), kMine));
    ASSERT_TRUE(writeFile(path("capped/p001.pdf"), kMine));
    {
        // A low soft limit is raised toward the hard one.
        ScopedDescriptorLimit limit(64);
        EXPECT_TRUE(pdfpages::splitPdf(source, QString(), path("low/p"), QString(), failure)) << failure.text.toStdString();
    }
    check(path("low"));

    // A hard limit as low: the files wait under hidden names instead of descriptors.
    const int capped = inChild([&] {
        const rlimit low{64, 64};
        fileio::Failure childFailure;
        _exit(setrlimit(RLIMIT_NOFILE, &low) == 0 &&
                      pdfpages::splitPdf(source, QString(), path("capped/p"), QString(), childFailure)
                  ? 0
                  : 1);
    });
    ASSERT_TRUE(WIFEXITED(capped) && WEXITSTATUS(capped) == 0) << capped;
    check(path("capped"));
}

} // namespace
