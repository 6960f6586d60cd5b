#include "tests/mainwindow/mainwindowfixture.h"

#include "gui/widgets/foldertree.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>

namespace {

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return QString();
}

} // namespace

using MainWindowShell = MainWindowFixture;
using MainWindowState = MainWindowFixture;

TEST_F(MainWindowShell, PanesAndControlsCarryTheirNamesAndCaptions) {
    frmMain w;
    EXPECT_EQ(w.windowTitle(), "Quillmere 3.1");

    struct Pane {
        int id;
        const char* title;
        Qt::DockWidgetArea area;
        const char* content;
    };
    const Pane panes[] = {
        {frmMain::PaneFolders, "Folders", Qt::LeftDockWidgetArea, "ctlPaneFolder"},
        {frmMain::PaneSearchList, "Search List", Qt::RightDockWidgetArea, "ctlPaneSearchList"},
        {frmMain::PaneOptions, "Options", Qt::BottomDockWidgetArea, "ctlPaneSearch"},
        {frmMain::PaneAdvanceOptions, "Advance Search Options", Qt::BottomDockWidgetArea,
         "CtlPaneSearchOptions"},
    };
    for (const Pane& p : panes) {
        QDockWidget* d = w.Pane(p.id);
        ASSERT_NE(d, nullptr) << p.title;
        EXPECT_EQ(d->windowTitle(), p.title);
        EXPECT_EQ(w.dockWidgetArea(d), p.area) << p.title;
        EXPECT_FALSE(d->features() & QDockWidget::DockWidgetClosable) << p.title;
        EXPECT_EQ(d->widget()->objectName(), p.content);
    }
    EXPECT_EQ(w.tabifiedDockWidgets(w.Pane(frmMain::PaneOptions)),
              QList<QDockWidget*>{w.Pane(frmMain::PaneAdvanceOptions)});
    EXPECT_TRUE(w.Pane(frmMain::PaneFolders)->isAncestorOf(w.ftvFolder));
    EXPECT_TRUE(w.Pane(frmMain::PaneSearchList)->isAncestorOf(w.grdSearchList));

    const std::pair<const char*, const char*> captions[] = {
        {"fraTotal", "Search Options"},
        {"lblFilter", "F&ilter"},
        {"cmdSearch", "&Search"},
        {"chkSearchSubFolder", "Include S&ubfolder"},
        {"ChkUseAdvOpt", "Use advance search options"},
        {"cmdExport", "Exp&ort"},
        {"cmdCloneDir", "Folder Conversion"},
        {"cmdConImageToPdf", "Image to PDF"},
        {"cmdConverttiffToPdf", "Mer&ge and Convert to PDF"},
        {"fraAdvSearch", "Search Options"},
        {"chkSearchByDate", "&Date"},
        {"optInPeriod", "in the last"},
        {"optBtnPeriod", "between"},
        {"lblDateRangeAnd", "and"},
        {"chkSearchBySize", "Si&ze"},
        {"optSizeAt", "at"},
        {"optSizeBtn", "between"},
        {"lblSizeTo", "to"},
        {"lblSizeKB1", "KB"},
        {"lblSizeKB2", "KB"},
    };
    for (const auto& [name, caption] : captions) {
        auto* c = w.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(c, nullptr) << name;
        EXPECT_EQ(captionOf(c), caption) << name;
    }
    for (const char* name :
         {"ftvFolder", "grdSearchList", "sbStatusBar", "fraDate", "fraSize", "cboDateRangeType",
          "txtInPeriod", "updInPeriod", "cboDateInPeriod", "dtpDateFrom", "dtpDateTo", "cboLeastMost",
          "txtSizeLeastMost", "updSizeLeastMost", "txtSizeFrom", "updSizeFrom", "txtSizeTo", "updSizeTo",
          "cboFilterPattern"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(MainWindowShell, LoadFillsTheOptionListsAndSetsTheirDefaults) {
    frmMain w;
    ASSERT_EQ(w.cboFilterPattern->count(), 11);
    EXPECT_EQ(w.cboFilterPattern->itemText(0), "Image files");
    EXPECT_EQ(w.cboFilterPattern->itemText(1), "*.tif,*.tiff");
    EXPECT_EQ(w.cboFilterPattern->itemText(10), "*.pnm");
    EXPECT_EQ(w.cboFilterPattern->itemData(10).toInt(), 10);
    EXPECT_EQ(w.cboFilterPattern->currentIndex(), 0);
    EXPECT_EQ(w.cboDateRangeType->itemText(2), "Files Last Accessed");
    EXPECT_EQ(w.cboDateRangeType->itemData(2).toInt(), 3);
    EXPECT_EQ(w.cboDateInPeriod->itemText(1), "Month(s)");
    EXPECT_EQ(w.cboLeastMost->currentText(), "Least");

    EXPECT_TRUE(w.optBtnPeriod->isChecked());
    EXPECT_TRUE(w.optSizeAt->isChecked());
    EXPECT_FALSE(w.chkSearchByDate->isChecked());
    EXPECT_FALSE(w.fraDate->isEnabled());
    EXPECT_FALSE(w.fraSize->isEnabled());
    EXPECT_EQ(w.dtpDateFrom->date(), QDate::currentDate());
    EXPECT_EQ(w.dtpDateTo->date(), QDate::currentDate());

    w.chkSearchBySize->click();
    EXPECT_TRUE(w.fraSize->isEnabled());
    EXPECT_TRUE(w.optSizeBtn->isEnabled());
    EXPECT_FALSE(w.fraDate->isEnabled());
}

TEST_F(MainWindowShell, UpDownButtonsStepTheNumberWithinItsRange) {
    frmMain w;
    const auto button = [](QWidget* upDown, Qt::ArrowType arrow) -> QToolButton* {
        for (QToolButton* b : upDown->findChildren<QToolButton*>())
            if (b->arrowType() == arrow) return b;
        return nullptr;
    };
    QToolButton* up = button(w.updSizeLeastMost, Qt::UpArrow);
    QToolButton* down = button(w.updSizeLeastMost, Qt::DownArrow);
    ASSERT_TRUE(up && down);
    w.chkSearchBySize->click(); // the size boxes take input only while the criterion is on
    w.txtSizeLeastMost->setText("41");
    up->click();
    EXPECT_EQ(w.txtSizeLeastMost->text(), "42");
    w.txtSizeLeastMost->setText("0");
    down->click();
    EXPECT_EQ(w.txtSizeLeastMost->text(), "0");
    // Numbers far beyond any whole-number type stop at the largest size.
    for (const char* huge : {"99999999999", "1e300"}) {
        w.txtSizeLeastMost->setText(huge);
        up->click();
        EXPECT_EQ(w.txtSizeLeastMost->text(), "2147483647") << huge;
        w.txtSizeLeastMost->setText(huge);
        down->click();
        EXPECT_EQ(w.txtSizeLeastMost->text(), "2147483647") << huge;
    }
    w.txtSizeLeastMost->setText("-1e300");
    up->click();
    EXPECT_EQ(w.txtSizeLeastMost->text(), "0");
}

TEST_F(MainWindowShell, OpensAtTheCommandLineFolderOnceElseAtTheStartFolder) {
    {
        frmMain w;
        EXPECT_EQ(w.ftvFolder->SelectedFolder(), settings->StartupFolder());
    }
    QTemporaryDir other;
    CmdLineFolder = QDir(other.path()).canonicalPath();
    CmdLineFiles = {CmdLineFolder + "/x.tif"};
    frmMain w;
    EXPECT_EQ(w.ftvFolder->SelectedFolder(), QDir(other.path()).canonicalPath());
    EXPECT_TRUE(CmdLineFolder.isEmpty()); // a later search never pre-checks again
}

TEST_F(MainWindowShell, CommandLineFilesAreCheckedByNameIgnoringCaseInEveryFolder) {
    frmMain w;
    addRow(w, "x.tif", "/a");
    addRow(w, "X.TIF", "/a/sub");
    addRow(w, "y.tif", "/a");
    addRow(w, "x.tiff", "/a");
    w.CheckCommandLineFiles({"/a/x.TIF", "/elsewhere/none.pdf"});
    EXPECT_EQ(checks(w.grdSearchList), (QList<int>{flexChecked, flexChecked, flexUnchecked, flexUnchecked}));
}

TEST_F(MainWindowShell, MinimumSizeHoldsTheDraggedFrame) {
    frmMain w;
    // The minimum is the outer frame's.
    EXPECT_EQ(w.minimumSize() + (w.frameGeometry().size() - w.size()), QSize(700, 403));
    int l = 0, t = 0, wd = 500, h = 300;
    w.m_c_Sizing(l, t, wd, h);
    EXPECT_EQ(QSize(wd, h), QSize(700, 403));
    wd = 1200, h = 800;
    w.m_c_Sizing(l, t, wd, h);
    EXPECT_EQ(QSize(wd, h), QSize(1200, 800));
}

TEST_F(MainWindowState, StartStateFollowsTheSettings) {
    struct Case {
        int flag, value, left, top, width, height, last;
        Qt::WindowState expected;
        QRect geometry; // pixels; empty: the designed rectangle
    };
    const QRect saved(100, 50, 900, 600);
    const Case cases[] = {
        {0, 0, 1500, 750, 13500, 9000, 2, Qt::WindowNoState, {}},
        {1, 2, 0, 0, 0, 0, 0, Qt::WindowMaximized, {}},
        {1, 2, 1500, 750, 13500, 9000, 2, Qt::WindowMaximized, saved},
        {1, 2, 1500, 750, 13500, 9000, 0, Qt::WindowNoState, saved},
        {1, 0, 1500, 750, 13500, 9000, 0, Qt::WindowMaximized, saved},
        {1, 1, 1500, 750, 13500, 9000, 0, Qt::WindowMinimized, saved},
        {1, 7, 1500, 750, 13500, 9000, 2, Qt::WindowNoState, {}},
    };
    QRect designed;
    {
        settings->setWindowStateFlag(0);
        frmMain w;
        designed = QRect(w.pos(), w.size());
    }
    for (const Case& c : cases) {
        settings->setWindowStateFlag(c.flag);
        settings->setWindowStateValue(c.value);
        settings->setLastWindowLeft(c.left);
        settings->setLastWindowTop(c.top);
        settings->setLastWindowWidth(c.width);
        settings->setLastWindowHeight(c.height);
        settings->setLastWindowState(c.last);
        frmMain w;
        // pos() is the outer frame's; the decorations are not known before the show.
        const QRect expected = c.geometry.isEmpty() ? designed : c.geometry;
        EXPECT_EQ(QRect(w.pos(), w.size()), expected) << "flag " << c.flag << " value " << c.value;
        // The state follows the show, once the window system knows the normal rectangle.
        w.show();
        for (int i = 0; i < 3; ++i) // the show, then the state it queued
            QCoreApplication::sendPostedEvents(&w, QEvent::MetaCall);
        EXPECT_EQ(w.windowState(), c.expected) << "flag " << c.flag << " value " << c.value;
        if (c.expected == Qt::WindowMaximized && !c.geometry.isEmpty()) {
            // Restored, the outer frame is the saved rectangle again.
            w.setWindowState(Qt::WindowNoState);
            EXPECT_EQ(w.frameGeometry(), expected) << "value " << c.value;
        }
    }
}

TEST_F(MainWindowState, ClosingSavesByState) {
    settings->setLastGridColWidthFlag(0);
    settings->setWindowStateFlag(0);
    settings->setLastWindowLeft(15);
    settings->setLastWindowTop(30);
    settings->setLastWindowWidth(15000);
    settings->setLastWindowHeight(9000);
    settings->setLastWindowState(0);
    {
        frmMain w;
        w.setWindowState(Qt::WindowMinimized);
        settings->writes = 0;
        w.close();
        EXPECT_EQ(settings->writes, 0);
    }
    {
        frmMain w;
        w.setWindowState(Qt::WindowMaximized);
        settings->writes = 0;
        w.close();
        EXPECT_EQ(settings->writes, 1);
        EXPECT_EQ(settings->LastWindowState(), 2);
        EXPECT_EQ(settings->LastWindowWidth(), 15000);
    }
    {
        frmMain w;
        w.setGeometry(40, 60, 800, 500);
        w.close();
        EXPECT_EQ(settings->LastWindowState(), 0);
        EXPECT_EQ(QRect(settings->LastWindowLeft(), settings->LastWindowTop(), settings->LastWindowWidth(),
                        settings->LastWindowHeight()),
                  QRect(600, 900, 12000, 7500));
    }
}

TEST_F(MainWindowState, ResizesAreSavedFromTheSecondActivationOnAndDragEndsAlways) {
    settings->setWindowStateFlag(0);
    frmMain w;
    settings->writes = 0;
    w.resize(900, 700);
    w.Form_Resize();
    EXPECT_EQ(settings->writes, 0);
    w.m_c_ExitSizeMove(); // a drag ended before that is still saved
    EXPECT_EQ(settings->LastWindowWidth(), 900 * 15);
    w.Form_Activate();
    EXPECT_FALSE(w.TracksGeometry());
    w.Form_Activate();
    EXPECT_TRUE(w.TracksGeometry());
    w.resize(1000, 700);
    w.Form_Resize(); // a hidden window holds its resize events back until shown
    EXPECT_EQ(settings->LastWindowWidth(), 1000 * 15);
    EXPECT_EQ(w.ActivationCount(), 2);
}

TEST_F(MainWindowState, ClosingSavesTheGridWidthsInDisplayOrderHiddenOnesIncluded) {
    settings->setColumnVisibility("1,1,0,1,1,1,1,1");
    const QString before = settings->LastGridColWidth();
    {
        settings->setLastGridColWidthFlag(0);
        frmMain w;
        w.grdSearchList->setColWidth(0, 3000);
        w.close();
        EXPECT_EQ(settings->LastGridColWidth(), before);
    }
    settings->setLastGridColWidthFlag(1);
    frmMain w;
    ASSERT_TRUE(w.grdSearchList->ColHidden(2));
    w.grdSearchList->setColWidth(0, 3000);
    w.close();
    EXPECT_EQ(settings->LastGridColWidth(), "3000,250,700,1800,1000,1400,2000,2000");
}

TEST_F(MainWindowShell, PanesKeepTheirSizesThroughASearchAndExtraWidthGoesToTheList) {
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(writeFile(startFolder.path() + QString("/f%1.tif").arg(i), "x"));
    settings->setWindowStateFlag(0); // the designed size, no start state
    frmMain w;
    w.StartSettleMs = 0;
    w.resize(1000, 680);
    w.show();
    const auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    settle();
    QDockWidget* folders = w.Pane(frmMain::PaneFolders);
    QDockWidget* list = w.Pane(frmMain::PaneSearchList);
    QDockWidget* options = w.Pane(frmMain::PaneOptions);
    const QRect before[] = {folders->geometry(), list->geometry(), options->geometry()};
    const QPoint button = w.cmdSearch->mapTo(&w, QPoint());

    w.cmdSearch->click(); // a search hides and shows the grid: nothing may move
    settle();
    EXPECT_EQ(folders->geometry(), before[0]);
    EXPECT_EQ(list->geometry(), before[1]);
    EXPECT_EQ(options->geometry(), before[2]);
    EXPECT_EQ(w.cmdSearch->mapTo(&w, QPoint()), button);

    w.resize(1400, 800); // growing: the list takes the width, the grid pane the height
    settle();
    EXPECT_EQ(folders->width(), before[0].width());
    EXPECT_EQ(list->width(), before[1].width() + 400);
    EXPECT_EQ(options->height(), before[2].height());

    w.resize(720, 420); // shrinking, as from maximised: the tree stays usable
    settle();
    EXPECT_GE(folders->width(), 190);
    EXPECT_EQ(options->height(), before[2].height());
    w.resize(1000, 680);
    settle();
    EXPECT_EQ(folders->width(), before[0].width());
}
