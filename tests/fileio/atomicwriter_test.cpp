#include "platform/fileio/atomicwriter.h"
#include "tests/support/filesizelimit.h"
#include "tests/fileio/fileiofixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using fileio::AtomicWriter;

namespace {

// Runs each case with unnamed temporary files and with the named fallback.
class Writer : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { AtomicWriter::setUnnamedTemporaryFilesAllowed(GetParam()); }
    void TearDown() override { AtomicWriter::setUnnamedTemporaryFilesAllowed(true); }
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_P(Writer, ReplacesOrCreatesWholeFilesOfAnyLegalNameLengthAndKeepsTheTargetsMode) {
    const QString longName = QString(251, QLatin1Char('n')) + QStringLiteral(".pdf"); // 255 bytes
    const QByteArray big(3 * 1024 * 1024 + 17, 'x'); // past the writer's buffer
    for (const QString& name : {QStringLiteral("a.pdf"), longName}) {
        ASSERT_TRUE(fileio::writeFileAtomically(path(name), "first"));
        EXPECT_EQ(readAll(path(name)), "first");
        QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner);
        AtomicWriter w(path(name));
        ASSERT_TRUE(w.open()) << w.errorString().toStdString();
        ASSERT_TRUE(w.write("head", 4));
        ASSERT_TRUE(w.write(big));
        ASSERT_TRUE(w.commit()) << w.errorString().toStdString();
        EXPECT_EQ(readAll(path(name)), "head" + big);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path(name)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(entries(dir.path()), QStringList({"a.pdf", longName}));
}

TEST_P(Writer, ARealWriteFailureKeepsTheOldFileAndReportsDiskFull) {
    const QByteArray old(4000, 'o');
    put(path("settings.ini"), old);
    {
        ScopedFileSizeLimit limit(1024);
        int number = 0;
        QString text;
        EXPECT_FALSE(fileio::writeFileAtomically(path("settings.ini"), QByteArray(5000, 'n'), true, &number, &text));
        EXPECT_EQ(number, 61);
        EXPECT_TRUE(text.contains("settings.ini")) << text.toStdString();

        // The failure sits in the buffer until commit: it must surface there.
        AtomicWriter w(path("settings.ini"));
        ASSERT_TRUE(w.open());
        EXPECT_TRUE(w.write(QByteArray(2000, 'n')));
        EXPECT_FALSE(w.commit());
        EXPECT_EQ(w.errorNumber(), 61);
    }
    EXPECT_EQ(readAll(path("settings.ini")), old);
    EXPECT_EQ(entries(dir.path()), QStringList({"settings.ini"}));
}

TEST_P(Writer, CancelAndFailuresLeaveNothingAndNoReplaceNeverReplaces) {
    put(path("keep.pdf"), "mine");
    {
        AtomicWriter w(path("keep.pdf"));
        ASSERT_TRUE(w.open());
        w.write("new", 3);
    } // dropped without commit
    AtomicWriter exclusive(path("keep.pdf"), AtomicWriter::Mode::NoReplace);
    ASSERT_TRUE(exclusive.open());
    exclusive.write("new", 3);
    EXPECT_FALSE(exclusive.commit());
    EXPECT_EQ(exclusive.errorNumber(), 58);
    EXPECT_EQ(readAll(path("keep.pdf")), "mine");

    int number = 0;
    EXPECT_FALSE(fileio::writeFileAtomically(path("no/such/folder/x.pdf"), "x", false, &number));
    EXPECT_EQ(number, 76);
    QDir().mkpath(path("folder.pdf"));
    EXPECT_FALSE(fileio::writeFileAtomically(path("folder.pdf"), "x", false, &number));
    EXPECT_TRUE(QFileInfo(path("folder.pdf")).isDir());

    ASSERT_TRUE(fileio::writeFileAtomically(path("fresh.pdf"), "x", false, nullptr, nullptr,
                                            AtomicWriter::Mode::NoReplace));
    EXPECT_EQ(entries(dir.path()), QStringList({"folder.pdf", "fresh.pdf", "keep.pdf"}));
}

TEST_P(Writer, CopiesFromAnotherFileInOrderWithItsErrors) {
    QByteArray source(600 * 1024, '\0');
    for (int i = 0; i < source.size(); ++i)
        source[i] = char(i * 7);
    put(path("source.jpg"), source);
    const int fd = ::open(QFile::encodeName(path("source.jpg")).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    {
        AtomicWriter w(path("out.pdf"));
        ASSERT_TRUE(w.open());
        EXPECT_TRUE(w.write("head", 4));
        EXPECT_EQ(w.copyFrom(fd, 10, source.size() - 10), source.size() - 10);
        EXPECT_TRUE(w.write("tail", 4));
        EXPECT_EQ(w.copyFrom(fd, source.size() - 5, 100), 5); // the source ends early
        ASSERT_TRUE(w.commit());
    }
    EXPECT_EQ(readAll(path("out.pdf")), "head" + source.mid(10) + "tail" + source.right(5));
    {
        ScopedFileSizeLimit limit(100 * 1024);
        AtomicWriter w(path("out.pdf"));
        ASSERT_TRUE(w.open());
        EXPECT_EQ(w.copyFrom(fd, 0, source.size()), -1);
        EXPECT_EQ(w.errorNumber(), 61);
        EXPECT_FALSE(w.commit());
    }
    ::close(fd);
    EXPECT_EQ(readAll(path("out.pdf")), "head" + source.mid(10) + "tail" + source.right(5));
}

INSTANTIATE_TEST_SUITE_P(TempFiles, Writer, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

TEST(WriterKill, AKilledWriteLeavesNothingBehind) {
    QTemporaryDir dir;
    const QString target = dir.filePath("merged.pdf");
    put(target, "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicWriter w(target);
        if (w.open()) {
            const QByteArray block(1024 * 1024, 'k');
            for (int i = 0; i < 8; ++i)
                w.write(block);
        }
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readAll(target), "old");
    EXPECT_EQ(entries(dir.path()), QStringList({"merged.pdf"}));
}
