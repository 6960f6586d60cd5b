#include "core/filefolderscan.h"
#include "core/modgeneral.h"
#include "core/modgetspecialfolder.h"
#include "core/modmasterlayout.h"
#include "core/modshell.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace modGeneral;
using namespace FileFolderScan;

TEST(PathParts, ValidateDirFileExtFileNameAndParent) {
    struct Case {
        QString path, validated, ext, name, parent;
    };
    const Case cases[] = {
        {"", "/", "", "", ""},
        {"/tmp/temp", "/tmp/temp/", "/tmp/temp", "temp", "/tmp"},
        {"/tmp/temp/", "/tmp/temp/", "/tmp/temp/", "temp", "/tmp"},
        {"/a.b/file", "/a.b/file/", "b/file", "file", "/a.b"},
        {"archive.tar.gz", "archive.tar.gz/", "gz", "archive.tar.gz", ""},
        {"/x.tif", "/x.tif/", "tif", "x.tif", "/"},
        {"/", "/", "/", "", ""},
        {"\"/q/x.tif\"", "\"/q/x.tif\"/", "tif\"", "x.tif\"", "\"/q"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(ValidateDir(c.path), c.validated);
        EXPECT_EQ(GetFileExt(c.path), c.ext);
        EXPECT_EQ(GetFileName(c.path), c.name);
        EXPECT_EQ(GetParentFolderName(c.path), c.parent);
    }
}

TEST(PathParts, HiWordIsTheSignedUpperHalf) {
    const std::pair<int32_t, int16_t> cases[] = {
        {65535, 0}, {65536, 1}, {131071, 1}, {-1, -1}, {0x7FFF0000, 32767}, {int32_t(0x80000000), -32768}};
    for (auto [value, expected] : cases)
        EXPECT_EQ(HiWord(value), expected) << value;
}

TEST(PathParts, TrimNullCutsAtTheFirstNul) {
    EXPECT_EQ(modMasterLayout::TrimNull("plain"), "plain");
    EXPECT_EQ(modMasterLayout::TrimNull(QString(QChar(0)) + "abc"), "");
    EXPECT_EQ(modMasterLayout::TrimNull(QString("ab") + QChar(0) + "c" + QChar(0)), "ab");
    EXPECT_EQ(modMasterLayout::TrimNull(""), "");
}

TEST(FileTests, ExistenceDeleteAndCreate) {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    const QString file = root + "/a file.tif";
    ASSERT_TRUE(writeFile(file, "x"));
    ASSERT_TRUE(writeFile(root + "/*.tif", "x")); // a literal star in a name

    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_FALSE(IsExistingFile(root));
    EXPECT_TRUE(IsExistingFile(root + "/*.tif")); // names, not patterns
    EXPECT_FALSE(IsExistingFile(root + "/a?file.tif"));
    EXPECT_FALSE(IsExistingFile("   "));
    EXPECT_FALSE(IsExistingFile(root + "/missing"));

    QString folder = root + "/";
    EXPECT_TRUE(IsExistingPath(folder));
    EXPECT_EQ(folder, root); // one trailing separator cut off the caller's text
    QString f = file;
    EXPECT_TRUE(IsExistingPath(f));
    QString rootFolder = "/";
    EXPECT_TRUE(IsExistingPath(rootFolder));
    EXPECT_EQ(rootFolder, "/");
    QString blank = " ";
    EXPECT_FALSE(IsExistingPath(blank));
    QString missing = root + "/missing/";
    EXPECT_FALSE(IsExistingPath(missing));

    EXPECT_FALSE(DeleteExistingFile(root));
    EXPECT_FALSE(DeleteExistingFile(root + "/missing"));
    EXPECT_TRUE(DeleteExistingFile(file));
    EXPECT_FALSE(QFile::exists(file));

    EXPECT_TRUE(CreatePath(root + "/1/2/3"));
    EXPECT_TRUE(QFileInfo(root + "/1/2/3").isDir());
    EXPECT_TRUE(CreatePath(root + "/1/2/3/")); // already there
    EXPECT_FALSE(CreatePath(root + "/*.tif/sub")); // under a file: impossible
    EXPECT_FALSE(MakeDirectoryPath(""));
}

TEST(SpecialFolders, ApplicationDataFollowsXdgAndDesktopIsTheDesktop) {
    QTemporaryDir tmp;
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", tmp.path().toUtf8());
    EXPECT_EQ(modGetSpecialFolder::GetSpecialfolder(26), tmp.path());
    qputenv("XDG_DATA_HOME", old);
    EXPECT_FALSE(modGetSpecialFolder::GetSpecialfolder(0).isEmpty());
    EXPECT_EQ(modGetSpecialFolder::GetSpecialfolder(5), "");
}

TEST(Shell, ShellOpenLaunchesAndOffersOpenWithOnlyForAFileNothingOpens) {
    ScopedFakeUi ui;
    QTemporaryDir tmp;
    const QString file = tmp.path() + "/doc.unknownext";
    ASSERT_TRUE(writeFile(file, "x"));

    modMasterLayout::ShellOpen("open", file, "", "", 1);
    ASSERT_EQ(ui.fake.launches.size(), 1);
    EXPECT_EQ(ui.fake.launches[0].verb, "open");
    EXPECT_TRUE(ui.fake.openWith.isEmpty());

    ui.fake.shellResult = false;
    modMasterLayout::ShellOpen("open", file);
    EXPECT_EQ(ui.fake.openWith, QList<QString>({file}));
    modMasterLayout::ShellOpen("Explore", tmp.path());          // a folder: no chooser
    modMasterLayout::ShellOpen("open", "mailto:someone@example.org"); // not a file either
    EXPECT_EQ(ui.fake.openWith.size(), 1);
    EXPECT_EQ(ui.fake.launches.size(), 4);
}

TEST(Shell, BrowseForFolderAsksThePickerAndAnswersItsChoice) {
    ScopedFakeUi ui;
    ui.fake.folderAnswers = {"/chosen", ""};
    EXPECT_EQ(ModShell::BrowseForFolder(nullptr, "/start", "Please select a folder:", false, true), "/chosen");
    EXPECT_EQ(ModShell::BrowseForFolder(nullptr, "", "Please select a folder:"), "");
    EXPECT_EQ(ui.fake.folderRequests, QList<QString>({"/start", ""}));
}
