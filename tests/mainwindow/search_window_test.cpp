// The search as the main window runs it: the button, the loading window, the grid rows,
// cancel, close and failure. The walk's own rules are tested in tests/search.
#include "tests/mainwindow/mainwindowfixture.h"

#include "core/modgetspecialfolder.h"
#include "core/runtimeerror.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/frmloading.h"
#include "platform/imaging/pagecount/pagecounter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

namespace {

QString makeFile(const QString& root, const QString& relative, qsizetype bytes = 0) {
    const QString path = root + "/" + relative;
    EXPECT_TRUE(writeFile(path, QByteArray(bytes, 'x')));
    return path;
}

// Scripted counts by file name; records the paths it was asked about.
class FakePageCounter : public PageCounter {
public:
    explicit FakePageCounter(int count) : m_count(count) {}
    QHash<QString, int> counts;
    QStringList asked;
    int CountPages(const QString& path) override {
        asked << path;
        return counts.value(path.mid(path.lastIndexOf('/') + 1), m_count);
    }

private:
    int m_count;
};

class SearchWindow : public MainWindowFixture {
protected:
    QTemporaryDir tree;
    QString root = QDir(tree.path()).canonicalPath();
    FakePageCounter tiff{3}, pdf{1};
    PageCounter* oldTiff = TiffPageCounter;
    PageCounter* oldPdf = PdfPageCounter;
    // The pumps of the running walk, and the rows in the order the walk listed them.
    int pumps = 0;
    QStringList listed;
    QString loadingText;                  // what the loading window showed at the last pump
    std::function<void(frmMain&)> atPump; // called after every pump

    SearchWindow() {
        TiffPageCounter = &tiff;
        PdfPageCounter = &pdf;
    }
    ~SearchWindow() override {
        TiffPageCounter = oldTiff;
        PdfPageCounter = oldPdf;
    }

    // Records the walk, pumping after every file.
    void watch(frmMain& w) {
        w.SearchPumpIntervalMs = 0;
        w.SearchPumpHook = [this, &w] {
            ++pumps;
            FlexGrid* g = w.grdSearchList;
            if (g->Rows() - 1 > listed.size())
                listed << g->TextMatrix(g->Rows() - 1, col("Location")) + "|" +
                              g->TextMatrix(g->Rows() - 1, col("Name"));
            loadingText = w.LoadingWindow() ? w.LoadingWindow()->StatusText() : QString();
            if (atPump) atPump(w);
        };
    }

    // Searches `folder` through a tree selection, the way a user starts most searches.
    void searchFolder(frmMain& w, const QString& folder) {
        pumps = 0;
        listed.clear();
        if (w.ftvFolder->SelectedFolder() == folder)
            w.cmdSearch->click();
        else
            w.ftvFolder->SetSelectedFolder(folder);
    }

    static void expectIdle(frmMain& w) {
        EXPECT_EQ(w.cmdSearch->text(), "&Search");
        EXPECT_TRUE(w.ftvFolder->isEnabled());
        EXPECT_TRUE(w.ctlPaneSearchList->isEnabled());
        EXPECT_TRUE(w.chkSearchSubFolder->isEnabled());
        EXPECT_FALSE(w.grdSearchList->isHidden());
        EXPECT_TRUE(w.grdSearchList->Redraw());
        EXPECT_EQ(w.LoadingWindow(), nullptr);
        EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor); // the default pointer
        EXPECT_FALSE(w.SearchRunning());
    }
};

} // namespace

TEST_F(SearchWindow, AFoldersFilesComeBeforeItsSubfoldersWhichAreSearchedOnlyWhenAsked) {
    for (const char* f : {"b.tif", "a.tif", "x.txt", "s1/c.tif", "s1/deep/d.tif", "s2/e.tif"})
        makeFile(root, f);
    frmMain w;
    watch(w);
    const QStringList own{root + "|a.tif", root + "|b.tif"};
    searchFolder(w, root);
    EXPECT_EQ(listed, own);
    w.chkSearchSubFolder->setChecked(true);
    searchFolder(w, root);
    EXPECT_EQ(listed, own + QStringList({root + "/s1|c.tif", root + "/s1/deep|d.tif", root + "/s2|e.tif"}));
    EXPECT_EQ(pumps, 6 + 4); // one per file, listed or not, and one per folder
    EXPECT_EQ(column(w.grdSearchList, "Name"), (QStringList{"a.tif", "b.tif", "c.tif", "d.tif", "e.tif"}));
    EXPECT_EQ(loadingText, "Please wait.Loading...files (5)");
    expectIdle(w);
    EXPECT_TRUE(ui.fake.messages.isEmpty());
}

TEST_F(SearchWindow, TheDesktopSearchesTheDesktopFolderAndNoMatchLeavesTheHeaderOnly) {
    makeFile(root, "Desk/scan.tif");
    const auto previous = modGetSpecialFolder::setSpecialFolderSource(
        [this](int id) { return id == modGetSpecialFolder::CSIDL_DESKTOP ? root + "/Desk" : QString(); });
    frmMain w;
    searchFolder(w, "Desktop");
    EXPECT_EQ(column(w.grdSearchList, "Location"), QStringList{root + "/Desk"});

    makeFile(root, "empty/notes.txt");
    searchFolder(w, root + "/empty");
    EXPECT_EQ(w.grdSearchList->Rows(), 1);
    EXPECT_EQ(w.StatusText(), "0 file selected; Total Page count of selected Tiff files: 0");
    EXPECT_TRUE(ui.fake.messages.isEmpty());
    EXPECT_TRUE(storage.errorLog().isEmpty());
    modGetSpecialFolder::setSpecialFolderSource(previous);
}

TEST_F(SearchWindow, ACancelTakenByAPumpStopsBeforeTheNextFileKeepsTheRowsSortedAndSaysSoOnce) {
    QString deep = "d";
    for (int level = 0; level < 8; ++level, deep += "/d")
        for (const char* f : {"/c.tif", "/a.tif", "/b.tif"})
            makeFile(root, deep + f);
    frmMain w;
    w.chkSearchSubFolder->setChecked(true);
    watch(w);
    // At most one pump every 3 ms, a file taking 1 ms.
    w.SearchPumpIntervalMs = 3;
    qint64 now = 0;
    w.SearchClock = [&now] { return now++; };
    // The click arrives through the walk's pumping, as a user's does.
    atPump = [this](frmMain& win) {
        if (pumps == 1) QMetaObject::invokeMethod(win.cmdSearch, &QPushButton::click, Qt::QueuedConnection);
    };
    searchFolder(w, root);
    // After the first file, and on entering the next folder, which takes the click.
    EXPECT_EQ(pumps, 2);
    EXPECT_EQ(column(w.grdSearchList, "Name"), (QStringList{"a.tif", "b.tif", "c.tif"}));
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "Process is terminated.");
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.fake.messages[0].title, "Quillmere 3.1");
    expectIdle(w);
}

TEST_F(SearchWindow, CtrlADuringTheWalkTicksTheRowsSoFarAndKeepsTheGridBatched) {
    for (const char* f : {"a.tif", "b.tif", "c.tif"})
        makeFile(root, f);
    frmMain w;
    watch(w);
    bool redrawAfterCheck = true;
    atPump = [&](frmMain& win) {
        if (pumps != 2) return; // after the first file (the first pump is the folder's)
        win.Form_KeyDown('A', 2);
        redrawAfterCheck = win.grdSearchList->Redraw();
    };
    searchFolder(w, root);
    EXPECT_FALSE(redrawAfterCheck);
    EXPECT_EQ(column(w.grdSearchList, "Name"), (QStringList{"a.tif", "b.tif", "c.tif"}));
    EXPECT_EQ(column(w.grdSearchList, "Selection"), (QStringList{"1", "0", "0"}));
    expectIdle(w);
}

TEST_F(SearchWindow, AFailureOfTheDriverIsLoggedAndEverythingIsRestored) {
    for (const char* f : {"a.tif", "b.tif", "c.tif"})
        makeFile(root, f);
    frmMain w;
    w.show();
    watch(w);
    bool busy = false;
    atPump = [&busy, this](frmMain& win) {
        if (pumps < 2) return; // once the first file is listed
        busy = !win.ftvFolder->isEnabled() && !win.ctlPaneSearchList->isEnabled() &&
               !win.chkSearchSubFolder->isEnabled() && win.grdSearchList->isHidden() &&
               win.LoadingWindow()->isVisible() && win.LoadingWindow()->parentWidget() == &win &&
               win.cursor().shape() == Qt::BusyCursor;
        throw RuntimeError(7, "Out of memory", 0);
    };
    searchFolder(w, root);
    EXPECT_TRUE(busy);
    EXPECT_EQ(w.grdSearchList->Rows(), 2); // the row listed before the failure stays
    expectIdle(w);
    EXPECT_TRUE(ui.fake.messages.isEmpty());
    const QStringList log = storage.errorLog().split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("Error 7 (Out of memory) in procedure MainLoadFiles at Line No. 0 of Form "
                                  "frmMain at time"))
        << log[0].toStdString();
}

TEST_F(SearchWindow, AStartWhileASearchRunsStartsNothingButRefreshesTheSummary) {
    for (const char* f : {"a.tif", "b.tif", "c.tif"})
        makeFile(root, f);
    frmMain w;
    watch(w);
    QStringList statuses;
    atPump = [&statuses](frmMain& win) {
        QString text = "stale";
        win.SetStatusText(text);
        win.ftvFolder_SelectionChange();
        win.cboFilterPattern_Click();
        statuses << win.StatusText();
    };
    searchFolder(w, root);
    EXPECT_EQ(pumps, 1 + 3);
    EXPECT_EQ(w.grdSearchList->Rows(), 4);
    EXPECT_EQ(statuses, QStringList(4, "0 file selected; Total Page count of selected Tiff files: 0"));
    EXPECT_TRUE(ui.fake.messages.isEmpty());
}

TEST_F(SearchWindow, RowTextsAndIcons) {
    const QString path = makeFile(root, "scan.tif", 1025);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7)), QFileDevice::FileModificationTime));
    f.close();
    frmMain w;
    searchFolder(w, root);
    ASSERT_EQ(w.grdSearchList->Rows(), 2);
    FlexGrid* g = w.grdSearchList;
    EXPECT_EQ(g->TextMatrix(1, col("Name")), "scan.tif");
    EXPECT_EQ(g->TextMatrix(1, col("Location")), root);
    EXPECT_EQ(g->TextMatrix(1, col("Size (In KB)")), "2 KB");
    EXPECT_EQ(g->TextMatrix(1, col("Type")), "tiff image");
    EXPECT_EQ(g->TextMatrix(1, col("Modified Date")), "05/03/2024 02:07 PM");
    EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d [AP]M$")
                    .match(g->TextMatrix(1, col("Created Date")))
                    .hasMatch());
    EXPECT_EQ(g->TextMatrix(1, col("Pages")), "3");
    EXPECT_EQ(g->CellChecked(1, col("Selection")), flexUnchecked);
    EXPECT_FALSE(g->CellPicture(1, col("Name")).isNull());
}

TEST_F(SearchWindow, TheAdvancedOptionsAreReadFromTheirControls) {
    makeFile(root, "big.jpg", 5000);
    makeFile(root, "small.jpg", 1);
    QFile old(makeFile(root, "old.jpg", 1));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        old.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(12, 0)), QFileDevice::FileModificationTime));
    old.close();
    struct Case {
        const char* name;
        std::function<void(frmMain&)> set;
        QStringList expected;
    };
    const Case cases[] = {
        {"off", [](frmMain& w) { w.chkSearchBySize->setChecked(true); }, {"big.jpg", "old.jpg", "small.jpg"}},
        {"at least 2 KB", [](frmMain& w) { w.txtSizeLeastMost->setText("2"); }, {"big.jpg"}},
        {"at most 1 KB",
         [](frmMain& w) {
             w.cboLeastMost->setCurrentIndex(1);
             w.txtSizeLeastMost->setText("1");
         },
         {"old.jpg", "small.jpg"}},
        {"between 2 and 5 KB",
         [](frmMain& w) {
             w.optSizeBtn->setChecked(true);
             w.txtSizeFrom->setText("2");
             w.txtSizeTo->setText("5");
         },
         {"big.jpg"}},
        {"modified in the last day",
         [](frmMain& w) {
             w.chkSearchBySize->setChecked(false);
             w.chkSearchByDate->setChecked(true);
             w.cboDateRangeType->setCurrentIndex(1);
             w.optInPeriod->setChecked(true);
         },
         {"big.jpg", "small.jpg"}},
        {"modified between",
         [](frmMain& w) {
             w.chkSearchByDate->setChecked(true);
             w.cboDateRangeType->setCurrentIndex(1);
             w.dtpDateFrom->setDate(QDate(2019, 12, 31));
             w.dtpDateTo->setDate(QDate(2020, 1, 2));
         },
         {"old.jpg"}},
    };
    for (const Case& c : cases) {
        frmMain w;
        w.ChkUseAdvOpt->setChecked(std::string(c.name) != "off");
        w.chkSearchBySize->setChecked(true);
        c.set(w);
        searchFolder(w, root);
        EXPECT_EQ(column(w.grdSearchList, "Name"), c.expected) << c.name;
    }
}

TEST_F(SearchWindow, WithPagesHiddenTheCountsComeLaterForTheCheckedRowsOnly) {
    settings->setColumnVisibility("1,1,0,1,1,1,1,1");
    ASSERT_EQ(col("Pages"), 2);
    for (const char* f : {"a.tif", "b.tif", "c.jpg", "d.TIFF"})
        makeFile(root, f);
    tiff.counts["d.TIFF"] = -1;
    frmMain w;
    searchFolder(w, root);
    FlexGrid* g = w.grdSearchList;
    ASSERT_EQ(column(g, "Name"), (QStringList{"a.tif", "b.tif", "c.jpg", "d.TIFF"}));
    EXPECT_EQ(column(g, "Pages"), QStringList(4, ""));
    EXPECT_TRUE(tiff.asked.isEmpty());
    for (int r : {1, 3, 4})
        g->setCellChecked(r, col("Selection"), flexChecked);
    w.GetPageCount();
    EXPECT_EQ(column(g, "Pages"), (QStringList{"3", "", "", "Error"}));
    EXPECT_EQ(tiff.asked, (QStringList{root + "/a.tif", root + "/d.TIFF"}));
}

TEST_F(SearchWindow, ClosingTheWindowStopsTheWalkAndTheWindowGoesAfterIt) {
    for (const char* f : {"a.tif", "b.tif", "c.tif", "d.tif", "e.tif"})
        makeFile(root, f);
    QPointer<frmMain> w = new frmMain;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    watch(*w);
    atPump = [](frmMain& win) {
        if (win.grdSearchList->Rows() == 3)
            QMetaObject::invokeMethod(&win, &QWidget::close, Qt::QueuedConnection);
    };
    searchFolder(*w, root);
    EXPECT_EQ(pumps, 1 + 3); // the walk ended at its next check
    ASSERT_FALSE(w.isNull());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->LoadingWindow(), nullptr);
    EXPECT_TRUE(ui.fake.messages.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST_F(SearchWindow, TheTreeKeepsTheKeyboardFromOneFolderToTheNext) {
    for (const char* f : {"a/1.tif", "b/2.tif", "c/3.tif"})
        makeFile(root, f);
    frmMain w;
    w.show();
    watch(w);
    QWidget* tree = w.ftvFolder->view();
    tree->setFocus();
    searchFolder(w, root + "/a");
    listed.clear();
    // Each Down goes where the window sends its keys, and each step searches its folder.
    // (Offscreen, the loading window takes the activation with it: the window's own focus
    // widget is where its keys go once it is active again.)
    for (const char* folder : {"b", "c"}) {
        ASSERT_EQ(w.focusWidget(), tree) << folder;
        QTest::keyClick(w.focusWidget(), Qt::Key_Down);
        EXPECT_EQ(w.ftvFolder->SelectedFolder(), root + "/" + folder);
        EXPECT_EQ(listed,
                  QStringList{root + "/" + folder + "|" + QString::number(folder[0] - 'a' + 1) + ".tif"});
        listed.clear();
    }
    EXPECT_EQ(w.focusWidget(), tree);

    // Focus the user moves elsewhere during the walk (back in the window, a Tab) stays there.
    atPump = [](frmMain& win) {
        QApplication::setActiveWindow(&win);
        win.cmdSearch->setFocus(Qt::TabFocusReason);
    };
    QTest::keyClick(tree, Qt::Key_Up);
    EXPECT_EQ(w.ftvFolder->SelectedFolder(), root + "/b");
    EXPECT_EQ(w.focusWidget(), w.cmdSearch);
    expectIdle(w);
}
