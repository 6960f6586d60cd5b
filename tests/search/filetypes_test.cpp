#include "platform/shell/filetypes.h"
#include "tests/search/searchfixtures.h"

#include <QCoreApplication>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::FileTypeGlobs;
using platform::FileTypes;
using searchtest::makeFile;

TEST(FileTypeGlobs, SendsOnlyNamesThatALongerPatternCouldMatchToTheFullLookUp) {
    const FileTypeGlobs globs({"*.jpg", "*.C", "*.tar.gz", "README*", "*.[1-9]", "*~", "*.so.[0-9]*",
                               "CMakeLists.txt", "Makefile", "*.anim[1-9j]"});
    struct Case {
        const char* name;
        bool full;
    };
    const Case cases[] = {
        {"photo.jpg", false},     {"scan.2026.01.tif", false},
        {"x.c", false},           {"backup.tar.gz", true},
        {"plain.gz", false},      {"X.TAR.GZ", true},
        {"README.md", true},      {"readme", true},
        {"notes.md", false},      {"page.3", true},
        {"page.10", false},       {"libx.so.1.tif", true},
        {"draft.txt~", true},     {"notes.txt", false},
        {"cmakelists.TXT", true}, {"noext", true},
        {"movie.anim5", true},    {"movie.animx", false},
    };
    for (const Case& c : cases) {
        const QString name = c.name;
        const qsizetype dot = name.lastIndexOf('.');
        EXPECT_EQ(globs.needsFullLookup(name, dot < 0 ? QStringView() : QStringView(name).mid(dot + 1)),
                  c.full)
            << c.name;
    }
}

TEST(FileTypes, TheSuffixCacheAnswersWhatTheMimeDatabaseAnswers) {
    QTemporaryDir dir;
    FileTypes types;
    QMimeDatabase db;
    // Each name comes after a plainer one with the same suffix, so a cache keyed too loosely
    // would answer the plainer type.
    const char* names[] = {"a.gz",       "b.tar.gz",
                           "c.txt",      "CMakeLists.txt",
                           "README.txt", "d.pdf",
                           "e.pdf.gz",   "f.1",
                           "g.so.1",     "h.c",
                           "i.C",        "j.JPG",
                           "k.jpg",      "scan.2026.01.05.tif",
                           "l.tif~"};
    for (const char* n : names) {
        const QString path = makeFile(dir.path(), n, 1);
        const QString expected = db.mimeTypeForFile(n, QMimeDatabase::MatchExtension).comment().toLower();
        EXPECT_EQ(types.lookup(path, n, false).typeName, expected) << n;
    }
}

TEST(FileTypes, TypeNamesAreLowerCaseDescriptionsAndTheKeyOfTheirIcon) {
    QTemporaryDir dir;
    FileTypes types;
    const struct {
        const char* name;
        const char* type;
    } cases[] = {
        {"a.jpg", "jpeg image"}, {"b.TIF", "tiff image"}, {"c.pdf", "pdf document"}, {"d.png", "png image"}};
    for (const auto& c : cases) {
        const platform::FileTypeInfo info = types.lookup(makeFile(dir.path(), c.name, 1), c.name, false);
        EXPECT_EQ(info.typeName, c.type);
        EXPECT_EQ(info.iconKey, c.type);
    }
}

TEST(FileTypes, AnUnknownSuffixIsTypedByContentAndExecutablesShareOneType) {
    QTemporaryDir dir;
    FileTypes types;
    QFile self(QCoreApplication::applicationFilePath());
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    const QByteArray elf = self.read(8192);
    for (const char* n : {"tool", "other.xyz123"}) {
        const QString path = dir.path() + "/" + n;
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(elf);
        out.close();
        const platform::FileTypeInfo info = types.lookup(path, n, true);
        EXPECT_EQ(info.typeName, "executable") << n;
        EXPECT_EQ(info.iconKey, "executable") << n;
    }
    const QString png = dir.path() + "/picture.unknownext";
    ASSERT_TRUE(searchtest::writeFile(png, searchtest::pngBytes()));
    EXPECT_EQ(types.lookup(png, "picture.unknownext", false).typeName, "png image");
}

TEST(FileTypes, ASuffixWhoseFilesNeverTellStopsBeingRead) {
    QTemporaryDir dir;
    FileTypes types;
    const QByteArray pngBytes = searchtest::pngBytes();
    auto file = [&](const QString& name, const QByteArray& bytes) {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    };
    static const char noiseBytes[] = "\x01\x02\x03\xfe\xff\x00\x10 binary noise \x07\x08";
    const QByteArray noise(noiseBytes, sizeof noiseBytes - 1);
    for (int i = 0; i < 3; ++i)
        types.lookup(file(QString("a%1.zzq").arg(i), noise), QString("a%1.zzq").arg(i), false);
    EXPECT_EQ(types.lookup(file("b.zzq", pngBytes), "b.zzq", false).typeName, "png image"); // still read
    for (int i = 0; i < 8; ++i)
        types.lookup(file(QString("c%1.zzr").arg(i), noise), QString("c%1.zzr").arg(i), false);
    EXPECT_EQ(types.lookup(file("d.zzr", pngBytes), "d.zzr", false).typeName, "unknown");   // no longer read
    EXPECT_EQ(types.lookup(file("noext", pngBytes), "noext", false).typeName, "png image"); // no suffix: read
}
