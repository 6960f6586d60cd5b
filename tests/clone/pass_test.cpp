// The processing pass: the status of every kind of entry, what it logs, and when the job's
// files are written.
#include "tests/clone/clonefixtures.h"

#include "jobs/clonepass.h"

#include <QFile>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

using namespace clonejob;
using namespace clonetest;

namespace {

class FakeHost : public ClonePassHost {
public:
    bool replace = false;
    int stopAfter = -1; // entries visited before stop is asked for
    QString log;
    int visited = 0;
    QStringList encodings;
    bool stopRequested() override { return stopAfter >= 0 && visited >= stopAfter; }
    bool replaceExisting() override { return replace; }
    void appendLog(const QString& text) override { log += text; }
    void entryVisited(int n) override { visited = n; }
    void showStoredEncodings(const QString& c, const QString& g, const QString& b) override { encodings = {c, g, b}; }
    void pump() override {}
};

// Writes a small file as the "PDF" and records the call; fails for sources named bad*.
struct FakeConverter {
    QStringList calls;
    bool operator()(const QString& image, const QString& pdf, const QString& c, const QString& g, const QString& b, bool,
                    bool) {
        calls << image.mid(image.lastIndexOf('/') + 1) + ">" + c + g + b;
        if (image.contains("/bad")) return false;
        return writeFile(pdf, "pdf of " + image.toUtf8());
    }
};

// Whether all of a file's data has its place on the disk; nullopt where the file system
// cannot tell (tmpfs).
std::optional<bool> onDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    std::vector<char> buffer(sizeof(fiemap) + 16 * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 16;
    const int rc = ::ioctl(fd, FS_IOC_FIEMAP, map);
    ::close(fd);
    if (rc != 0) return std::nullopt;
    for (unsigned i = 0; i < map->fm_mapped_extents; ++i)
        if (map->fm_extents[i].fe_flags & (FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_UNKNOWN)) return false;
    return true;
}

} // namespace

class ClonePassTest : public ::testing::Test {
protected:
    CloneEnvironment env;
    CloneJobFiles files{env.cloneFolder()};
    FakeHost host;
    FakeConverter converter;
    QString src = env.root + "/src", out = env.root + "/out/src";
    CloneList list{"Jpeg", "Zip", "", {}};

    void add(const QString& name, const QString& status = QString(), const QString& target = QString()) {
        const QString pdf = target.isEmpty() ? name.left(name.lastIndexOf('.')) + ".pdf" : target;
        list.files.push_back({name, src, pdf, out, status});
    }
    ClonePassResult run(double factor = 0) {
        ClonePass pass(files, host, [this](auto&&... a) { return converter(a...); });
        pass.setSaveFactor(factor);
        return pass.ProcessClone(list);
    }
};

TEST_F(ClonePassTest, GivesEveryEntryItsStatusAndLogsIt) {
    add("good.jpg");
    add("bad.png");
    add("old.jpg");
    add("done.jpg", "Completed");
    add("a.jpg");
    add("a.png"); // the same PDF as a.jpg
    makeFile(out + "/old.pdf", "earlier");
    const ClonePassResult r = run();

    EXPECT_EQ(host.encodings, QStringList({"Jpeg", "Zip", ""}));
    EXPECT_EQ(converter.calls, QStringList({"good.jpg>JpegZip", "bad.png>JpegZip", "a.jpg>JpegZip"}));
    EXPECT_EQ(r.visited, 6);
    EXPECT_EQ(r.converted, 2);
    EXPECT_TRUE(r.complete);
    EXPECT_FALSE(QFile::exists(env.xmlPath())) << "a list visited whole is deleted";
    EXPECT_EQ(readAll(out + "/old.pdf"), "earlier");
    EXPECT_EQ(readAll(out + "/a.pdf"), "pdf of " + (src + "/a.jpg").toUtf8());
    EXPECT_EQ(host.log, "\r\n" + src + "/good.jpg.....Completed\r\n" + src + "/bad.png.....Error\r\n" + src +
                            "/old.jpg.....Already Exists\r\n" + src + "/done.jpg.....Completed\r\n" + src +
                            "/a.jpg.....Completed\r\n" + src + "/a.png.....Already Exists");
}

TEST_F(ClonePassTest, ReplaceOverwritesEarlierPdfsButNeverThisJobsOwn) {
    add("a.jpg", "Completed");
    add("a.png");
    add("old.jpg");
    makeFile(out + "/a.pdf", "made by this job");
    makeFile(out + "/old.pdf", "earlier");
    host.replace = true;
    run();
    EXPECT_EQ(readAll(out + "/a.pdf"), "made by this job") << "rebuilt from the stored Completed entries";
    EXPECT_EQ(readAll(out + "/old.pdf"), "pdf of " + (src + "/old.jpg").toUtf8());
}

TEST_F(ClonePassTest, ReplaceNeverOverwritesThisJobsOwnPdfUnderAnotherName) {
    // Two target folders that are one folder on disk, as "A.pdf" and "a.pdf" are one file on a
    // case-insensitive disk.
    list.files.push_back({"x.jpg", src + "/one", "x.pdf", out + "/one", QString()});
    list.files.push_back({"x.png", src + "/two", "x.pdf", out + "/two", QString()});
    ASSERT_TRUE(QDir().mkpath(out + "/one"));
    ASSERT_TRUE(QFile::link(out + "/one", out + "/two"));
    host.replace = true;
    run();
    EXPECT_EQ(list.files[1].status, "Already Exists");
    EXPECT_EQ(readAll(out + "/one/x.pdf"), "pdf of " + (src + "/one/x.jpg").toUtf8());
}

TEST_F(ClonePassTest, AFolderThatCannotBeMadeIsAStatus) {
    makeFile(env.root + "/out/src", "a file where the folder should be");
    add("x.jpg");
    run();
    EXPECT_TRUE(host.log.endsWith("x.jpg.....Unable to Create Folder"));
    EXPECT_TRUE(converter.calls.isEmpty());
}

TEST_F(ClonePassTest, NoSavedStatusVouchesForAPdfStillInMemory) {
    // After a power cut a PDF whose data had not reached the disk reads empty; the list
    // must not say "Completed" for it by then.
    for (const char* n : {"1.jpg", "2.jpg", "3.jpg"})
        add(n);
    QStringList notOnDisk;
    bool known = true;
    const auto check = [&] {
        for (const auto& e : list.files)
            if (e.status == "Completed") {
                const auto written = onDisk(e.target());
                known = known && written.has_value();
                if (written == false) notOnDisk << e.targetfile;
            }
    };
    CloneJobFiles::setSaveHook([&](CloneJobFiles::SavedFile file) {
        if (file == CloneJobFiles::SavedFile::List) check();
    });
    host.stopAfter = 2;
    run(0);
    host.stopAfter = -1;
    ClonePass(files, host, [this](auto&&... a) { return converter(a...); }).ProcessClone(list);
    check(); // the end of the pass answers for every PDF
    CloneJobFiles::setSaveHook({});
    if (!known) GTEST_SKIP() << "this file system does not tell where data is";
    notOnDisk.removeDuplicates();
    EXPECT_TRUE(notOnDisk.isEmpty()) << notOnDisk.join(", ").toStdString();
}

TEST_F(ClonePassTest, AFailedBatchSyncIsAFailureOfTheEntriesItVouchesFor) {
    for (const char* n : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
        add(n);
    ClonePass pass(files, host, [this](auto&&... a) { return converter(a...); });
    pass.setSyncFunction([](const QStringList&, int* number, QString* error) {
        *number = 57;
        *error = QStringLiteral("sync: Input/output error");
        return false;
    });
    const ClonePassResult r = pass.ProcessClone(list);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.failureNumber, 57);
    EXPECT_TRUE(r.failure.contains("could not be written to the disk")) << r.failure.toStdString();
    EXPECT_FALSE(converter.calls.isEmpty());
    // No entry reads "Completed" for a PDF the disk may not hold, and no such PDF is left.
    const QStringList stored = env.statuses();
    for (size_t i = 0; i < list.files.size(); ++i) {
        const CloneFileEntry& e = list.files[i];
        SCOPED_TRACE(e.name.toStdString());
        EXPECT_EQ(e.status, i < size_t(r.visited) ? "Error" : "");
        EXPECT_EQ(stored.value(int(i)), e.status);
        EXPECT_FALSE(QFile::exists(e.target()));
    }
}

TEST_F(ClonePassTest, SavesAfterEachEntryWhileCheapAndAlwaysWhenStopped) {
    for (const char* n : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
        add(n);
    QStringList saved; // the statuses on disk at each list save
    CloneJobFiles::setSaveHook([&](CloneJobFiles::SavedFile file) {
        if (file == CloneJobFiles::SavedFile::List) saved << QString::number(host.visited);
    });
    host.stopAfter = 3;
    ClonePassResult r = run(0);
    EXPECT_EQ(saved, QStringList({"0", "1", "2", "3"})) << "a list never saved is saved before the pass";
    EXPECT_EQ(r.visited, 3);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(env.statuses(), QStringList({"Completed", "Completed", "Completed", ""}));
    EXPECT_EQ(files.readRecord().FILE_COMPLETED, "3");

    // Saves that cost more than the work between them wait; the stop still saves.
    saved.clear();
    list.files[3].status.clear();
    host.stopAfter = -1;
    list.files.push_back({"5.jpg", src, "5.pdf", out, ""});
    list.files.push_back({"6.jpg", src, "6.pdf", out, ""});
    host.visited = 0;
    host.stopAfter = 5;
    ClonePass pass(files, host, [this](auto&&... a) { return converter(a...); });
    pass.setSaveEstimate(qint64(1) << 50);
    r = pass.ProcessClone(list);
    EXPECT_EQ(saved, QStringList({"0", "5"})) << "the longer list is saved before the pass";
    EXPECT_EQ(env.statuses(), QStringList({"Completed", "Completed", "Completed", "Completed", "Completed", ""}));
    CloneJobFiles::setSaveHook({});
}
