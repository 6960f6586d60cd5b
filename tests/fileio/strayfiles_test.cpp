// A writer killed at any step leaves nothing that outlives the next write into its folder,
// and a call writing several files changes all of its targets or none, through kills too.
#include "platform/fileio/atomicwriter.h"
#include "platform/fileio/outputset.h"
#include "tests/fileio/fileiofixtures.h"
#include "tests/support/inchild.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using fileio::AtomicWriter;

namespace {

bool stage(fileio::OutputSet& set, const QString& target, const QByteArray& bytes) {
    AtomicWriter w(target);
    fileio::Failure failure;
    return w.open() && w.write(bytes) && set.stage(w, failure);
}

// The next run into the folder: any write there.
void writeAgainInto(const QString& folder) { ASSERT_TRUE(fileio::writeFileAtomically(folder + "/next.txt", "n")); }

int g_killAfter = 0;
void killAtPlace(int placed) {
    if (placed == g_killAfter) raise(SIGKILL);
}

class Stray : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { AtomicWriter::setUnnamedTemporaryFilesAllowed(GetParam()); }
    void TearDown() override {
        AtomicWriter::setUnnamedTemporaryFilesAllowed(true);
        fileio::OutputSet::setPlacedHook(nullptr);
    }
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_P(Stray, AKillWhileWritingOrBeforeTheCommitLeavesNothingTheNextRunKeeps) {
    put(path("p001.pdf"), "mine");
    // Few descriptors: most of the 200 pending files wait under names.
    const int staged = inChild([&] {
        const rlimit low{48, 48};
        setrlimit(RLIMIT_NOFILE, &low);
        fileio::OutputSet set;
        for (int i = 1; i <= 200; ++i)
            if (!stage(set, path(QStringLiteral("p%1.pdf").arg(i, 3, 10, QLatin1Char('0'))), "page")) _exit(1);
        AtomicWriter partial(path("merged.pdf"));
        partial.open();
        partial.write(QByteArray(1024 * 1024, 'k'));
        raise(SIGKILL);
    });
    ASSERT_TRUE(WIFSIGNALED(staged)) << staged;
    EXPECT_EQ(readAll(path("p001.pdf")), "mine");
    EXPECT_GT(entries(dir.path()).size(), 1); // the kill left hidden entries...
    writeAgainInto(dir.path());
    EXPECT_EQ(entries(dir.path()), QStringList({"next.txt", "p001.pdf"})); // ...which the next run removed
    EXPECT_EQ(readAll(path("p001.pdf")), "mine");
}

TEST_P(Stray, AKillDuringTheCommitIsTakenBackByTheNextRun) {
    // After each of the four steps that put a file in place.
    for (int killAfter = 1; killAfter <= 4; ++killAfter) {
        const QString folder = path(QString::number(killAfter));
        ASSERT_TRUE(QDir().mkpath(folder));
        put(folder + "/a.pdf", "old a");
        put(folder + "/c.pdf", "old c");
        g_killAfter = killAfter;
        const int committed = inChild([&] {
            fileio::OutputSet set;
            for (const char* name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"})
                if (!stage(set, folder + "/" + name, QByteArray("new ") + name)) _exit(1);
            fileio::OutputSet::setPlacedHook(&killAtPlace);
            fileio::Failure failure;
            set.commit(failure);
            _exit(2);
        });
        ASSERT_TRUE(WIFSIGNALED(committed) && WTERMSIG(committed) == SIGKILL) << committed;
        EXPECT_EQ(readAll(folder + "/a.pdf"), "new a.pdf");
        // A file the user changed after the kill is theirs: it stays as they left it.
        const bool edited = killAfter == 4;
        if (edited) put(folder + "/d.pdf", "the user's d");

        writeAgainInto(folder);
        QStringList expected{"a.pdf", "c.pdf", "next.txt"};
        if (edited) expected.insert(2, "d.pdf");
        EXPECT_EQ(entries(folder), expected) << killAfter;
        EXPECT_EQ(readAll(folder + "/a.pdf"), "old a") << killAfter;
        EXPECT_EQ(readAll(folder + "/c.pdf"), "old c") << killAfter;
        if (edited) {
            EXPECT_EQ(readAll(folder + "/d.pdf"), "the user's d");
        }
    }
}

TEST_P(Stray, ACommitThatFailsPartWayPutsEveryReplacedFileBack) {
    put(path("a.pdf"), "old a");
    fileio::OutputSet set;
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
        ASSERT_TRUE(stage(set, path(name), QByteArray("new ") + name));
    // Someone takes the free name c.pdf while the files are put in place.
    static QString taken;
    taken = path("c.pdf");
    fileio::OutputSet::setPlacedHook([](int placed) {
        if (placed == 2) put(taken, "theirs");
    });
    fileio::Failure failure;
    EXPECT_FALSE(set.commit(failure));
    EXPECT_EQ(failure.number, 58) << failure.text.toStdString();
    EXPECT_EQ(entries(dir.path()), QStringList({"a.pdf", "c.pdf"}));
    EXPECT_EQ(readAll(path("a.pdf")), "old a");
    EXPECT_EQ(readAll(path("c.pdf")), "theirs");
}

TEST_P(Stray, WhatALiveProcessIsWritingIsLeftAloneAndOnlyOurOwnNamesAreSwept) {
    put(path(".qm-abcd1234.tmp"), "left by a killed writer");
    put(path(".qm-notes.tmp"), "a file of the user's");
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Staged files and one still being written, then a wait for the parent's write.
        fileio::OutputSet set;
        bool ok = stage(set, path("p1.pdf"), "one") && stage(set, path("p2.pdf"), "two");
        AtomicWriter open(path("open.pdf"));
        ok = ok && open.open() && open.write("three", 5);
        char byte = 'r';
        ok = ok && write(ready[1], &byte, 1) == 1 && read(go[0], &byte, 1) == 1;
        fileio::Failure failure;
        _exit(ok && set.commit(failure) && open.commit() ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    writeAgainInto(dir.path()); // sweeps the folder while the child waits
    ASSERT_EQ(write(go[1], &byte, 1), 1);
    int status = -1;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        close(fd);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(entries(dir.path()), QStringList({".qm-notes.tmp", "next.txt", "open.pdf", "p1.pdf", "p2.pdf"}));
    EXPECT_EQ(readAll(path("p2.pdf")), "two");
    EXPECT_EQ(readAll(path("open.pdf")), "three");
}

INSTANTIATE_TEST_SUITE_P(TempFiles, Stray, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });
