#include "app/frmprogressdialog.h"
#include "app/frmvistaerrdlg.h"
#include "app/startup.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgetspecialfolder.h"
#include "core/settings.h"
#include "core/storagefolder.h"
#include "platform/imaging/pagecount/pagecounter.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/testdir.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {

// One start-up against a data folder of its own under a fresh XDG_DATA_HOME.
class StartUp : public ::testing::Test {
protected:
    StartUp() : m_oldXdg(qgetenv("XDG_DATA_HOME")), m_oldPath(StoragePath) {
        qputenv("XDG_DATA_HOME", (m_home.path() + "/share").toUtf8());
        CmdLineFolder.clear();
        CmdLineFiles.clear();
    }
    ~StartUp() override {
        closeWindows();
        qputenv("XDG_DATA_HOME", m_oldXdg);
        StoragePath = m_oldPath;
        StoragePathSlash = m_oldPath.isEmpty() ? QString() : m_oldPath + '/';
        CmdLineFolder.clear();
        CmdLineFiles.clear();
    }
    QString dataFolder() const { return m_home.path() + "/share/Brevart Technologies/Quillmere 3.1"; }
    QString settingsFile() const { return dataFolder() + "/Settings/settings.ini"; }
    static QList<QMainWindow*> mainWindows() {
        QList<QMainWindow*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMainWindow*>(w); m && m->isVisible())
                out << m;
        return out;
    }
    static void closeWindows() {
        for (QMainWindow* w : mainWindows())
            delete w;
    }
    QString errorLog() const {
        QFile f(dataFolder() + "/Errors.Log");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir m_home;
    ScopedFakeUi ui;

private:
    QByteArray m_oldXdg;
    QString m_oldPath;
};

} // namespace

TEST_F(StartUp, FirstRunWritesTheDefaultsAfterTheNoticeAndTheSecondLoadsThem) {
    QStringList shown;
    ui.fake.onShowModal = [&](QObject* dialog) {
        shown << dialog->objectName();
        auto* notice = qobject_cast<frmProgressDialog*>(dialog);
        EXPECT_TRUE(notice);
        EXPECT_FALSE(QFile::exists(settingsFile())); // the defaults come after the notice
        return 1;
    };
    ASSERT_TRUE(modMasterLayout::Main({}));
    EXPECT_EQ(shown, QStringList({"frmProgressDialog"}));
    EXPECT_EQ(StoragePath, dataFolder());
    EXPECT_EQ(StoragePathSlash, dataFolder() + "/");
    ASSERT_TRUE(QFile::exists(settingsFile()));
    ASSERT_TRUE(AppSettings);
    EXPECT_EQ(AppSettings->StartupFolder(), QDir::homePath());
    EXPECT_TRUE(CmdLineFolder.isEmpty());
    EXPECT_TRUE(CmdLineFiles.isEmpty());

    ASSERT_TRUE(AppGridColumns);
    EXPECT_EQ(AppGridColumns->Count(), 8);
    EXPECT_EQ(AppGridColumns->Item(7)->ColumnWidth, 2000); // the saved widths, not the table's
    EXPECT_EQ(FilterPatterns[1], "*.tif,*.tiff");
    ASSERT_TRUE(PdfPageCounter && TiffPageCounter);
    EXPECT_LT(TiffPageCounter->CountPages(m_home.path() + "/missing.tif"), 0);

    const QList<QMainWindow*> windows = mainWindows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->windowTitle(), "Quillmere 3.1");
    EXPECT_TRUE(windows[0]->testAttribute(Qt::WA_DeleteOnClose));
    closeWindows();

    AppSettings->setSortbyNumeric(1);
    shown.clear();
    ASSERT_TRUE(modMasterLayout::Main({}));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(AppSettings->SortbyNumeric(), 1);
    EXPECT_TRUE(errorLog().isEmpty());
}

TEST_F(StartUp, EachArgumentIsOnePathAndOneArgumentStandsAsItIs) {
    const QString folder = m_home.path() + "/my scans";
    ASSERT_TRUE(QDir().mkpath(folder));
    // The way file managers pass several files: one argument each, blanks and all.
    ASSERT_TRUE(modMasterLayout::Main({folder + "/a.tif", folder + "/b c.tif"}));
    // The main window takes the start folder over (and clears it) while it loads; the
    // file list stays.
    EXPECT_EQ(CmdLineFiles, QStringList({folder + "/a.tif", folder + "/b c.tif"}));
    closeWindows();

    ASSERT_TRUE(modMasterLayout::Main({folder + "/x y.tif|" + folder + "/z.tif"}));
    EXPECT_EQ(CmdLineFiles, QStringList({folder + "/x y.tif", folder + "/z.tif"}));
}

TEST_F(StartUp, AStartFolderThatIsNotThereIsIgnored) {
    ASSERT_TRUE(modMasterLayout::Main({"\"/nowhere/a.tif\""}));
    EXPECT_TRUE(CmdLineFolder.isEmpty());
    EXPECT_TRUE(CmdLineFiles.isEmpty());
}

TEST_F(StartUp, ABadSavedWidthKeepsItsTableWidthIsLoggedOnceAndStartUpGoesOn) {
    ASSERT_TRUE(modMasterLayout::Main({}));
    AppSettings->setLastGridColWidth("1800,250,wide,1800,1000,1400,2000,2000");
    closeWindows();
    ASSERT_TRUE(modMasterLayout::Main({}));
    EXPECT_EQ(AppGridColumns->Item("Pages")->ColumnWidth, 700);
    EXPECT_EQ(AppGridColumns->Item("Modified Date")->ColumnWidth, 2000);
    EXPECT_EQ(errorLog().count("Error 13 (Type mismatch) in procedure Main at Line No. "), 1);
    EXPECT_EQ(mainWindows().size(), 1);
}

TEST_F(StartUp, ADamagedSettingsFileIsReplacedByTheDefaults) {
    ASSERT_TRUE(writeFile(settingsFile(), "garbage"));
    int notices = 0;
    ui.fake.onShowModal = [&](QObject*) { return ++notices; };
    ASSERT_TRUE(modMasterLayout::Main({}));
    EXPECT_EQ(notices, 1);
    Settings reader;
    EXPECT_TRUE(reader.LoadSettings());
    EXPECT_EQ(errorLog().count("in procedure LoadSettings"), 1);
}

TEST_F(StartUp, NoDataFolderMeansNoWindow) {
    // The application-data folder cannot be named: the critical message, then the end.
    auto previous = modGetSpecialFolder::setSpecialFolderSource([](int) { return QString(); });
    EXPECT_FALSE(modMasterLayout::Main({}));
    modGetSpecialFolder::setSpecialFolderSource(previous);
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "Unable to get file storage folder path");
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Critical);

    // It cannot be created: no word in a window, but a failure status and one line on
    // standard error naming the folder.
    ASSERT_TRUE(writeFile(m_home.path() + "/share", "a file in the way"));
    QTemporaryFile err;
    ASSERT_TRUE(err.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(err.handle(), 2);
    int status = 0;
    const bool opened = modMasterLayout::Main({}, &status);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    EXPECT_FALSE(opened);
    EXPECT_EQ(status, 1);
    QFile written(err.fileName());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(written.readAll()), "quillmere: cannot create the data folder " + dataFolder() + "\n");
    EXPECT_EQ(ui.fake.messages.size(), 1);
    EXPECT_TRUE(mainWindows().isEmpty());
}

TEST_F(StartUp, WhereTheProbeIsAskedForAnUnwritableFolderShowsTheMessageWindowAndEnds) {
    auto previous = modMasterLayout::setOsVersionProbe([] { return platform::OsVersionInfo{true, 6, 1, 2}; });
    ASSERT_TRUE(QDir().mkpath(dataFolder() + "/Testtemp.sys")); // the probe cannot be written
    QStringList shown;
    ui.fake.onShowModal = [&](QObject* d) {
        shown << d->objectName();
        return 1;
    };
    EXPECT_FALSE(modMasterLayout::Main({}));
    EXPECT_EQ(shown, QStringList({"FrmVistaErrDlg"}));
    EXPECT_FALSE(QFile::exists(settingsFile()));

    QDir(dataFolder() + "/Testtemp.sys").removeRecursively();
    shown.clear();
    EXPECT_TRUE(modMasterLayout::Main({}));
    EXPECT_EQ(shown, QStringList({"frmProgressDialog"}));
    EXPECT_FALSE(QFile::exists(dataFolder() + "/Testtemp.sys"));
    modMasterLayout::setOsVersionProbe(previous);
}
