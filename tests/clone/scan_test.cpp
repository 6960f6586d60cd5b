// The scan: which files become entries, in what order, and the PDF each one becomes.
#include "tests/clone/clonefixtures.h"

#include "core/runtimeerror.h"
#include "jobs/clonescan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clonejob;
using namespace clonetest;

namespace {

// The file system, except for the folders it is told to refuse.
class RefusingReader : public filesearch::FolderReader {
public:
    QStringList refused;
    std::unique_ptr<filesearch::FolderListing> open(const QString& path, const QByteArray& native, bool follow) override {
        if (refused.contains(path)) raiseError(70);
        return FolderReader::open(path, native, follow);
    }
};

struct Scanned {
    int count = 0;
    CloneList list;
    QStringList leftOut; // "path: reason" per folder or file left out
    // "path relative to root|target folder relative to root|target file"
    QStringList rows(const QString& root) const {
        QStringList out;
        for (const auto& e : list.files)
            out << QString(e.source()).remove(root + "/") + "|" + QString(e.targetfolder).replace(root, "~") + "|" +
                       e.targetfile;
        return out;
    }
};

Scanned scan(const QString& source, const QString& output, filesearch::FolderReader* reader = nullptr,
             std::function<bool()> stop = {}) {
    QStringList patterns = QString("*.tif,*.tiff,*.jpg,*.jp2,*.gif,*.png").split(',');
    CloneScan s(CloneTargets::fromFolders(source, output), patterns);
    s.setFolderReader(reader);
    s.setStopCheck(std::move(stop));
    Scanned out;
    s.setLeftOut([&](const QString& path, const QString& reason) { out.leftOut << path + ": " + reason; });
    out.count = s.ScanFolderForClone(out.list);
    return out;
}

} // namespace

class CloneScanTree : public ::testing::Test {
protected:
    CloneEnvironment env;
    QString root = env.root;
    QString src = root + "/a";
    QString out = root + "/out";

    void SetUp() override {
        for (const char* f : {"a/z.jpg", "a/Photo.JPG", "a/jpg scan.jpg", "a/notes.txt", "a/b/y.tif", "a/b/a/y.jpg",
                              "a/b/c/deep.png", "a/b/c/readme.doc", "a/c/x.gif"})
            makeFile(root + "/" + f);
        QDir().mkpath(out);
    }
};

TEST_F(CloneScanTree, ListsFilesBeforeSubfoldersAndMirrorsTheTreeUnderTheSourceName) {
    const Scanned s = scan(src, out);
    const QStringList expected = {"a/Photo.JPG|~/out/a|Photo.pdf",   "a/jpg scan.jpg|~/out/a|jpg scan.pdf",
                                  "a/z.jpg|~/out/a|z.pdf",           "a/b/y.tif|~/out/a/b|y.pdf",
                                  "a/b/a/y.jpg|~/out/a/b/a|y.pdf",   "a/b/c/deep.png|~/out/a/b/c|deep.pdf",
                                  "a/c/x.gif|~/out/a/c|x.pdf"};
    EXPECT_EQ(s.rows(root), expected);
    EXPECT_EQ(s.count, 7) << "the count is the entries added";
    // Typed with blanks and a trailing "/", the same targets.
    EXPECT_EQ(scan(" " + src + "/ ", out + "/").rows(root), expected);
}

TEST_F(CloneScanTree, OutputThatIsTheSourceWritesBesideEachImage) {
    const Scanned s = scan(src, "  " + src + "/  ");
    ASSERT_EQ(s.count, 7);
    for (const auto& e : s.list.files)
        EXPECT_EQ(e.targetfolder, e.path) << e.name.toStdString();
}

TEST(CloneScanNames, SourceBaseNameAndPdfNames) {
    EXPECT_EQ(FolderBaseName("/srv/Holiday.July"), "Holiday");
    EXPECT_EQ(FolderBaseName("/srv/backup/srv/"), "srv");
    EXPECT_EQ(TargetFileName("jpg scan.jpg"), "jpg scan.pdf");
    EXPECT_EQ(TargetFileName("Photo.JPG"), "Photo.pdf");
    const CloneTargets t = CloneTargets::fromFolders("/srv/backup/srv", "/out");
    EXPECT_EQ(t.targetFolder("/srv/backup/srv/srv/x", "srv/x"), "/out/srv/srv/x") << "a repeated name stays";
    EXPECT_EQ(CloneTargets::fromFolders("/srv/Holiday.July", "/out").targetFolder("/srv/Holiday.July", ""),
              "/out/Holiday");
}

TEST_F(CloneScanTree, SkipsLinkedFoldersUnreadableFoldersAndNamesTheListCannotCarry) {
    ASSERT_EQ(::symlink(QFile::encodeName(src).constData(), QFile::encodeName(src + "/b/loop").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(src + "/z.jpg").constData(), QFile::encodeName(src + "/link.jpg").constData()), 0);
    // Names that are not UTF-8 exist only as bytes.
    const QByteArray native = QFile::encodeName(src);
    ASSERT_EQ(::mkdir((native + "/bad\xfe folder").constData(), 0755), 0);
    for (const QByteArray& f : {native + "/bad\xff.jpg", native + "/bad\xfe folder/inside.jpg"})
        ::close(::open(f.constData(), O_CREAT | O_WRONLY, 0644));
    makeFile(src + "/bell\x07.jpg");
    RefusingReader reader;
    reader.refused << src + "/c";

    const Scanned s = scan(src, env.root + "/out", &reader);
    const QStringList rows = s.rows(root);
    EXPECT_EQ(s.count, 7) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows.contains("a/link.jpg|~/out/a|link.pdf")) << "a link to a file is a file";
    EXPECT_FALSE(rows.join(" ").contains("loop")) << "linked folders are not entered";
    EXPECT_FALSE(rows.join(" ").contains("x.gif"));
    const QStringList log = env.logLines();
    ASSERT_EQ(log.size(), 4) << log.join("\n").toStdString();
    EXPECT_TRUE(log[0].contains("bad\\xff.jpg") || log[1].contains("bad\\xff.jpg"));
    EXPECT_TRUE(log.join(" ").contains("in procedure ScanFolderForClone"));
    EXPECT_TRUE(log.join(" ").contains(src + "/c/ skipped")) << "the log names the folder left out";
    // The dialog's log says so too, once per folder or file left out.
    EXPECT_EQ(s.leftOut, QStringList({src + "/bad\\xff.jpg: its name is not valid UTF-8",
                                      src + "/bell\\x07.jpg: its name holds characters the job's list cannot hold",
                                      src + "/bad\\xfe folder: its name is not valid UTF-8",
                                      src + "/c/: the folder cannot be read (Permission denied)"}));
    // Qt cannot remove what it cannot name.
    ::unlink((native + "/bad\xff.jpg").constData());
    ::unlink((native + "/bad\xfe folder/inside.jpg").constData());
    ::rmdir((native + "/bad\xfe folder").constData());
}

TEST_F(CloneScanTree, ANameBeginningWithU_FEFFIsClonedUnderItsOwnName) {
    const QString bom(QChar(0xFEFF));
    makeFile(src + "/b/" + bom + "scan.jpg");
    makeFile(src + "/" + bom + "sub/" + bom + "p.png");
    const Scanned s = scan(src, out);
    const QStringList rows = s.rows(root);
    EXPECT_EQ(s.count, 9) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows.contains("a/b/" + bom + "scan.jpg|~/out/a/b|" + bom + "scan.pdf"));
    EXPECT_TRUE(rows.contains("a/" + bom + "sub/" + bom + "p.png|~/out/a/" + bom + "sub|" + bom + "p.pdf"));
    EXPECT_TRUE(env.logLines().isEmpty()) << env.storage.errorLog().toStdString();
    // And so the list reads back.
    const auto back = parseCloneList(cloneListXml(s.list));
    ASSERT_TRUE(back);
    QStringList sources;
    for (const auto& e : back->files)
        sources << e.source();
    EXPECT_TRUE(sources.contains(src + "/b/" + bom + "scan.jpg"));
    EXPECT_TRUE(sources.contains(src + "/" + bom + "sub/" + bom + "p.png"));
}

TEST_F(CloneScanTree, StopEndsTheScanBeforeTheNextFile) {
    int asked = 0;
    const Scanned s = scan(src, out, nullptr, [&] { return ++asked > 3; });
    EXPECT_EQ(s.count, 2);
}
