// Renaming that never replaces: with the kernel's refusal and with the link fallback.
#include "platform/fileio/renamenoreplace.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using fileio::RenameOutcome;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Each case with renameat2 and with link-then-unlink.
class NoReplace : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { fileio::setNoReplaceRenameAllowed(GetParam()); }
    void TearDown() override { fileio::setNoReplaceRenameAllowed(true); }
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_P(NoReplace, RenamesAFreeNameAndLeavesEveryTakenOneAsItWas) {
    ASSERT_TRUE(writeFile(path("a.pdf"), "source"));
    EXPECT_EQ(fileio::renameNoReplace(path("a.pdf"), path("b.pdf")), RenameOutcome::Renamed);
    EXPECT_FALSE(QFile::exists(path("a.pdf")));
    EXPECT_EQ(readAll(path("b.pdf")), "source");

    // A file, a folder (empty or not) and a dangling link at the target all count as taken.
    ASSERT_TRUE(writeFile(path("taken.pdf"), "theirs"));
    QDir().mkpath(path("folder.pdf"));
    QDir().mkpath(path("full.pdf/inside"));
    ASSERT_TRUE(QFile::link(path("nowhere"), path("link.pdf")));
    for (const char* target : {"taken.pdf", "folder.pdf", "full.pdf", "link.pdf"}) {
        int err = -1;
        EXPECT_EQ(fileio::renameNoReplace(path("b.pdf"), path(target), &err), RenameOutcome::TargetExists) << target;
        EXPECT_EQ(err, 0);
        EXPECT_EQ(readAll(path("b.pdf")), "source");
    }
    EXPECT_EQ(readAll(path("taken.pdf")), "theirs");
    EXPECT_TRUE(QFileInfo(path("folder.pdf")).isDir());
    EXPECT_TRUE(QFileInfo(path("full.pdf/inside")).isDir());
    EXPECT_TRUE(QFileInfo(path("link.pdf")).isSymLink());

    EXPECT_EQ(fileio::renameNoReplace(path("gone.pdf"), path("c.pdf")), RenameOutcome::SourceMissing);
    int err = 0;
    EXPECT_EQ(fileio::renameNoReplace(path("b.pdf"), path("no/such/folder.pdf"), &err), RenameOutcome::Failed);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(readAll(path("b.pdf")), "source");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // b.pdf, taken.pdf
}

INSTANTIATE_TEST_SUITE_P(Ways, NoReplace, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Renameat2" : "LinkFallback"; });
