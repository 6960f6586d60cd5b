#include "gui/cursor/mtempfile.h"

#include "tests/cursor/cursorfixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using fixtures::errorOf;

TEST(TempFile, NewFilesAreEmptyUniquePrivateAndWhereAsked) {
    QTemporaryDir dir;
    const QString a = mTempFile::GetTempFileName(QStringLiteral("ANIMATED"), dir.path());
    const QString b = mTempFile::GetTempFileName(QStringLiteral("ANIMATED"), dir.path() + "/");
    EXPECT_NE(a, b);
    for (const QString& name : {a, b}) {
        const QFileInfo info(name);
        EXPECT_TRUE(info.isFile());
        EXPECT_EQ(info.size(), 0);
        EXPECT_EQ(info.absolutePath(), QDir(dir.path()).absolutePath());
        EXPECT_TRUE(info.fileName().startsWith("ANI"));
        // The prefix is cut to three characters; six random ones and ".tmp" follow.
        EXPECT_EQ(info.fileName().size(), 13);
        EXPECT_TRUE(info.fileName().endsWith(".tmp"));
        EXPECT_EQ(info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);
    }
}

TEST(TempFile, EmptyPathMeansTheTemporaryFolder) {
    QTemporaryDir dir;
    fixtures::ScopedTmpDir redirect(dir.path());
    EXPECT_EQ(mTempFile::GetTempDir(), dir.path() + "/");
    const QString name = mTempFile::GetTempFileName(QStringLiteral("ANI"), QString());
    EXPECT_EQ(QFileInfo(name).absolutePath(), QDir(dir.path()).absolutePath());
}

TEST(TempFile, FailuresRaiseTheSystemCodeOrTenThousand) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QString prefix, path;
        int number;
        const char* text;
    };
    const QList<Case> cases = {
        {"missing folder", "ANI", dir.path() + "/missing", 2 | 10000, "No such file or directory"},
        // OR, not plus: EINVAL (22) and 10000 share the bit worth 16.
        {"prefix with a folder in it", "../x", dir.path(), 10006, "Invalid argument"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto e = errorOf([&] { mTempFile::GetTempFileName(c.prefix, c.path); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number, c.number);
        EXPECT_EQ(e->description, c.text);
        EXPECT_TRUE(e->source.endsWith(".cAniCursor"));
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(TempFile, ErrorTextsAndPlatform) {
    EXPECT_EQ(mTempFile::ApiErrorText(2), "No such file or directory");
    EXPECT_EQ(mTempFile::ApiErrorText(13), "Permission denied");
    EXPECT_EQ(mTempFile::ApiErrorText(0), "");
    EXPECT_EQ(mTempFile::ApiErrorText(99999), "");
    EXPECT_FALSE(mTempFile::IsNT());
}
