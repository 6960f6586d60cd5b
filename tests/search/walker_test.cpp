#include "core/modgetspecialfolder.h"
#include "core/runtimeerror.h"
#include "search/filesearch.h"
#include "tests/search/searchfixtures.h"
#include "tests/support/testdir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace filesearch;
using searchtest::makeFile;

namespace {

// Records what reached the grid: "location|name".
class RecordingSink : public FileRowSink {
public:
    QStringList rows;
    QString failOn; // a name whose row cannot be built
    void AddFileRow(const QString& folder, const FindData& file) override {
        if (file.name == failOn) throw RuntimeError(53, "File not found", 7);
        rows << folder + "|" + file.name;
    }
};

// The file system, except for the folders it is told to refuse, and a count of opens.
class GuardedReader : public FolderReader {
public:
    QStringList refused;
    QStringList opened;
    std::unique_ptr<FolderListing> open(const QString& path, const QByteArray& native, bool follow) override {
        opened << path;
        if (refused.contains(path)) raiseError(70);
        return FolderReader::open(path, native, follow);
    }
};

SearchOptions options(bool subfolders, QStringList patterns = {"*.tif"}) {
    SearchOptions o;
    o.subfolders = subfolders;
    o.patterns = std::move(patterns);
    return o;
}

QStringList logLines(const ScopedStorage& s) {
    return s.errorLog().split("\r\n", Qt::SkipEmptyParts);
}

class SearchWalk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root = dir.path();
    ScopedStorage storage;
    RecordingSink sink;

    QStringList run(const SearchOptions& o, const QString& start, FolderReader* reader = nullptr) {
        FolderSearch search(o, sink);
        search.setFolderReader(reader);
        search.LoadFiles(start);
        EXPECT_EQ(search.rowsListed(), sink.rows.size());
        return sink.rows;
    }
};

} // namespace

TEST_F(SearchWalk, ListsAFoldersFilesBeforeItsSubfoldersDepthFirst) {
    for (const char* f : {"b.tif", "a.tif", "notes.txt", "sub1/c.tif", "sub1/deeper/d.tif", "sub1/e.tif",
                          "sub2/f.TIF", "sub2/g.jpg", ".hidden.tif", "sub0/.cache/h.tif"})
        makeFile(root, f);
    EXPECT_EQ(run(options(true), root),
              (QStringList{root + "|.hidden.tif", root + "|a.tif", root + "|b.tif",
                           root + "/sub0/.cache|h.tif", root + "/sub1|c.tif", root + "/sub1|e.tif",
                           root + "/sub1/deeper|d.tif", root + "/sub2|f.TIF"}));
}

TEST_F(SearchWalk, NamesBeginningWithU_FEFFAreListedAsTheyAre) {
    const QString bom(QChar(0xFEFF));
    makeFile(root, bom + "scan.tif");
    makeFile(root, bom + "sub/p.tif");
    EXPECT_EQ(run(options(true), root), (QStringList{root + "|" + bom + "scan.tif", root + "/" + bom + "sub|p.tif"}));
}

TEST_F(SearchWalk, WithoutSubfoldersOnlyTheFoldersOwnFilesAndTheLocationAsGiven) {
    makeFile(root, "a.tif");
    makeFile(root, "sub/b.tif");
    EXPECT_EQ(run(options(false), root + "/"), QStringList{root + "/|a.tif"});
    sink.rows.clear();
    EXPECT_EQ(run(options(true), root + "/"), (QStringList{root + "/|a.tif", root + "/sub|b.tif"}));
}

TEST_F(SearchWalk, NoMatchListsNothingAndLogsNothing) {
    makeFile(root, "a.txt");
    makeFile(root, "sub/b.doc");
    EXPECT_TRUE(run(options(true), root).isEmpty());
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(SearchWalk, PumpsOnEveryFolderAndAfterEveryFileListedOrNot) {
    for (const char* f : {"a.tif", "b.txt", "c.doc", "sub/d.tif", "sub/e.txt"})
        makeFile(root, f);
    FolderSearch search(options(true), sink);
    int pumps = 0;
    search.setPump([&] { ++pumps; });
    search.LoadFiles(root);
    EXPECT_EQ(pumps, 5 + 2);
    EXPECT_EQ(sink.rows.size(), 2);

    // Folders without files: a cancel taken by the pump of one stops the walk there.
    const QString empty = root + "/empty";
    for (int i = 0; i < 20; ++i)
        QDir().mkpath(empty + QString("/e%1/inner").arg(i, 2, 10, QChar('0')));
    bool cancel = false;
    pumps = 0;
    FolderSearch folders(options(true), sink);
    folders.setCancelCheck([&] { return cancel; });
    folders.setPump([&] { cancel = ++pumps == 5; });
    folders.LoadFiles(empty);
    EXPECT_EQ(pumps, 5);
}

TEST_F(SearchWalk, CancelFromThePumpStopsBeforeTheNextFileAndFolderAndKeepsTheRows) {
    QString path = root;
    for (int depth = 0; depth < 6; ++depth) {
        for (int i = 0; i < 3; ++i)
            makeFile(path, QString("f%1.tif").arg(i));
        path += "/d";
    }
    GuardedReader reader;
    FolderSearch search(options(true), sink);
    search.setFolderReader(&reader);
    bool cancel = false;
    int pumps = 0;
    search.setCancelCheck([&] { return cancel; });
    search.setPump([&] {
        if (++pumps == 10) // the first file of the third folder (after three folder pumps)
            cancel = true;
    });
    search.LoadFiles(root);
    EXPECT_EQ(sink.rows.size(), 7);
    EXPECT_EQ(search.rowsListed(), 7);
    EXPECT_EQ(pumps, 10);
    EXPECT_EQ(reader.opened.size(), 3); // no folder opened after the cancel
}

TEST_F(SearchWalk, AFolderThatCannotBeReadIsLoggedOnceAndItsSiblingsAreSearched) {
    for (const char* f : {"a.tif", "locked/b.tif", "locked/inner/c.tif", "open/d.tif", "z.tif"})
        makeFile(root, f);
    GuardedReader reader;
    reader.refused << root + "/locked";
    EXPECT_EQ(run(options(true), root, &reader),
              (QStringList{root + "|a.tif", root + "|z.tif", root + "/open|d.tif"}));
    const QStringList lines = logLines(storage);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Error 70 (Permission denied) in procedure LoadFiles at Line No. "));
    EXPECT_TRUE(lines[0].contains(" of Form frmMain at time- "));
}

TEST_F(SearchWalk, AMissingStartFolderIsLoggedAsPathNotFound) {
    EXPECT_TRUE(run(options(true), root + "/gone").isEmpty());
    const QStringList lines = logLines(storage);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Error 76 (Path not found) in procedure LoadFiles"));
}

TEST_F(SearchWalk, AFileWhoseRowCannotBeBuiltIsLoggedAndTheWalkGoesOn) {
    for (const char* f : {"a.tif", "b.tif", "c.tif", "sub/d.tif"})
        makeFile(root, f);
    sink.failOn = "b.tif";
    EXPECT_EQ(run(options(true), root), (QStringList{root + "|a.tif", root + "|c.tif", root + "/sub|d.tif"}));
    const QStringList lines = logLines(storage);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(
        "Error 53 (File not found) in procedure LoadFiles at Line No. 7 of Form frmMain"));
}

TEST_F(SearchWalk, LinksToFilesAreListedLinksToFoldersAreNeverEntered) {
    makeFile(root, "real/a.tif");
    makeFile(root, "real/sub/b.tif");
    ASSERT_EQ(symlink((root + "/real").toUtf8(), (root + "/real/sub/loop").toUtf8()), 0);
    ASSERT_EQ(symlink((root + "/real/a.tif").toUtf8(), (root + "/real/link.tif").toUtf8()), 0);
    ASSERT_EQ(symlink((root + "/nowhere.tif").toUtf8(), (root + "/real/dead.tif").toUtf8()), 0);
    ASSERT_EQ(symlink((root + "/real").toUtf8(), (root + "/start").toUtf8()), 0);
    EXPECT_EQ(run(options(true, {}), root + "/start"), // every name, so the loop link is looked at too
              (QStringList{root + "/start|a.tif", root + "/start|link.tif", root + "/start/sub|b.tif"}));
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(SearchWalk, TheAdvancedOptionsFilterAfterThePattern) {
    makeFile(root, "empty.tif", 0);
    makeFile(root, "small.tif", 10);
    makeFile(root, "small.txt", 10);
    SearchOptions o = options(false);
    o.criteria.useAdvanced = o.criteria.bySize = true;
    o.criteria.leastMost = "Least";
    o.criteria.sizeText = "1";
    EXPECT_EQ(run(o, root), QStringList{root + "|small.tif"});
}

TEST_F(SearchWalk, TheDesktopEntryOfTheTreeSearchesTheDesktopFolder) {
    const auto previous = modGetSpecialFolder::setSpecialFolderSource(
        [this](int id) { return id == modGetSpecialFolder::CSIDL_DESKTOP ? root + "/Desk" : QString(); });
    EXPECT_EQ(SearchFolderFor("Desktop"), root + "/Desk");
    EXPECT_EQ(SearchFolderFor("/home/Desktop"), "/home/Desktop");
    modGetSpecialFolder::setSpecialFolderSource(previous);
}

TEST(GetFindData, ReadsSizeAndDatesOfAFileAndNothingElse) {
    QTemporaryDir dir;
    const QString path = makeFile(dir.path(), "x.tif", 1500);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QDateTime when(QDate(2021, 6, 15), QTime(9, 30, 0));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    f.close();
    FindData data;
    ASSERT_TRUE(GetFindData(path, data));
    EXPECT_EQ(data.name, "x.tif");
    EXPECT_EQ(data.size, 1500);
    EXPECT_EQ(data.modified.toLocal(), when);
    EXPECT_EQ(data.modified.localDay(), when.date());
    const QFileInfo info(path);
    EXPECT_EQ(data.created.toLocal().toSecsSinceEpoch(),
              (info.birthTime().isValid() ? info.birthTime() : info.metadataChangeTime()).toSecsSinceEpoch());
    EXPECT_FALSE(GetFindData(dir.path(), data));
    EXPECT_FALSE(GetFindData(dir.path() + "/missing.tif", data));
    EXPECT_FALSE(GetFindData("", data));
}
