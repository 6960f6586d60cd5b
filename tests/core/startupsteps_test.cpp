#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgetspecialfolder.h"
#include "core/modmasterlayout.h"
#include "core/startuptables.h"
#include "core/storagefolder.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Keeps the command-line globals of one test to itself.
struct ScopedCommandLine {
    ScopedCommandLine() {
        CmdLineFolder.clear();
        CmdLineFiles.clear();
    }
    ~ScopedCommandLine() {
        CmdLineFolder.clear();
        CmdLineFiles.clear();
    }
};

} // namespace

TEST(CommandLine, OnlyTheFirstPathsFolderDecides) {
    QTemporaryDir tmp;
    const QString a = tmp.path() + "/a";
    ASSERT_TRUE(QDir().mkpath(a));
    struct Case {
        const char* name;
        QString text;
        bool accepted;
        QString folder;
        QStringList files;
    };
    const Case cases[] = {
        {"two paths", a + "/x.tif|/nowhere/b/y.tif", true, a, {a + "/x.tif", "/nowhere/b/y.tif"}},
        {"one path", a + "/x.tif", true, a, {a + "/x.tif"}},
        {"first folder missing", "/nowhere/x.tif|" + a + "/y.tif", false, "", {}},
        {"quoted", "\"" + a + "/x.tif\"", false, "", {}},
        {"no folder at all", "x.tif", false, "", {}},
        {"blank around the bar is kept", a + "/x.tif | " + a + "/y.tif", true, a, {a + "/x.tif ", " " + a + "/y.tif"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCommandLine scope;
        EXPECT_EQ(modMasterLayout::ValidateCmdLine(c.text), c.accepted);
        EXPECT_EQ(CmdLineFolder, c.folder);
        EXPECT_EQ(CmdLineFiles, c.files);
    }
}

TEST(DataFolder, IsBuiltUnderApplicationDataAndCreated) {
    ScopedStorage keep; // restores StoragePath afterwards
    ScopedFakeUi ui;
    QTemporaryDir tmp;
    auto previous = modGetSpecialFolder::setSpecialFolderSource([&](int id) {
        return id == 26 ? tmp.path() + "/share" : QString();
    });
    EXPECT_TRUE(modMasterLayout::GetStorageFolder());
    EXPECT_EQ(StoragePath, tmp.path() + "/share/Brevart Technologies/Quillmere 3.1");
    EXPECT_TRUE(QFileInfo(StoragePath).isDir());
    EXPECT_TRUE(ui.fake.messages.isEmpty());

    // A folder that cannot be made: false, and nobody is told.
    ASSERT_TRUE(writeFile(tmp.path() + "/file", "x"));
    modGetSpecialFolder::setSpecialFolderSource([&](int) { return tmp.path() + "/file"; });
    EXPECT_FALSE(modMasterLayout::GetStorageFolder());
    EXPECT_TRUE(ui.fake.messages.isEmpty());

    // No application-data folder: never the file-system root.
    modGetSpecialFolder::setSpecialFolderSource([](int) { return QString(); });
    EXPECT_FALSE(modMasterLayout::GetStorageFolder());
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "Unable to get file storage folder path");
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(ui.fake.messages[0].title, kAppTitle);
    modGetSpecialFolder::setSpecialFolderSource(previous);
}

TEST(DataFolder, WriteProbeWritesAndRemovesItsFile) {
    QTemporaryDir tmp;
    EXPECT_TRUE(modMasterLayout::CanWriteFile(tmp.path() + "/Testtemp.sys"));
    EXPECT_FALSE(QFile::exists(tmp.path() + "/Testtemp.sys"));
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/taken"));
    EXPECT_FALSE(modMasterLayout::CanWriteFile(tmp.path() + "/taken"));
    EXPECT_FALSE(modMasterLayout::CanWriteFile(tmp.path() + "/missing/Testtemp.sys"));
}

TEST(DataFolder, OnlyMajorVersionSixOfTheNtPlatformAsksForTheProbe) {
    EXPECT_FALSE(modMasterLayout::IsWindowsVistaFamily()); // this system
    struct Case {
        platform::OsVersionInfo v;
        bool expected;
    };
    const Case cases[] = {
        {{true, 6, 1, 2}, true},  {{true, 6, 3, 2}, true},   {{true, 5, 1, 2}, false},
        {{true, 10, 0, 2}, false}, {{true, 6, 0, 1}, false}, {{false, 6, 0, 2}, false},
    };
    for (const Case& c : cases) {
        auto previous = modMasterLayout::setOsVersionProbe([&] { return c.v; });
        EXPECT_EQ(modMasterLayout::IsWindowsVistaFamily(), c.expected) << c.v.majorVersion << "/" << c.v.platformId;
        modMasterLayout::setOsVersionProbe(previous);
    }
}

TEST(StartupTables, SavedWidthsApplyInAddOrderOnlyWhenTheCountMatches) {
    struct Case {
        const char* name;
        QString widths;
        QList<float> expected;
        int logLines;
    };
    const QList<float> table = {1800, 250, 700, 1800, 1000, 1400, 1400, 1400};
    const Case cases[] = {
        {"eight", "1,2,3,4,5,6,7,8", {1, 2, 3, 4, 5, 6, 7, 8}, 0},
        {"seven", "1,2,3,4,5,6,7", table, 0},
        {"nine", "1,2,3,4,5,6,7,8,9", table, 0},
        {"one bad element", "1,2,zz,4,5,6,7,8", {1, 2, 700, 4, 5, 6, 7, 8}, 1},
        {"two bad elements", ",2,3,4,5,6,7,1e99", {1800, 2, 3, 4, 5, 6, 7, 1400}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedStorage storage;
        GridColumns columns;
        modMasterLayout::AddDefaultGridColumns(columns);
        modMasterLayout::ApplySavedColumnWidths(columns, c.widths);
        EXPECT_EQ(arrLastGridColWidth, c.widths.split(','));
        QList<float> got;
        for (const GridColumns::ColumnPtr& col : columns)
            got << col->ColumnWidth;
        EXPECT_EQ(got, c.expected);
        const QStringList lines = storage.errorLog().split("\r\n", Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), c.logLines);
        for (const QString& line : lines)
            EXPECT_TRUE(line.contains(") in procedure Main at Line No. ") &&
                        line.contains(" of Module modMasterLayout at time- "))
                << line.toStdString();
    }
}

TEST(StartupTables, FilterTableHoldsTheSeventeenImageTypesFirstAndLeavesElevenEmpty) {
    modMasterLayout::FillFilterPatterns();
    EXPECT_EQ(FilterPatterns[0].split(',').size(), 17);
    EXPECT_EQ(FilterPatterns[1], "*.tif,*.tiff");
    EXPECT_EQ(FilterPatterns[10], "*.pnm");
    EXPECT_TRUE(FilterPatterns[11].isEmpty());
    QStringList groups;
    for (int i = 1; i <= 10; ++i)
        groups += FilterPatterns[i].split(',');
    groups.sort();
    QStringList all = FilterPatterns[0].split(',');
    all.sort();
    EXPECT_EQ(groups, all); // groups 1 to 10 split group 0 exactly
}
