#include "tests/mainwindow/mainwindowfixture.h"

#include "gui/widgets/foldertree.h"
#include "mainwindow/frmabout.h"
#include "mainwindow/frmpreferences.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QString kSummary = QStringLiteral(" file selected; Total Page count of selected Tiff files: ");

// A menu's items as captions, separators as "-".
QStringList itemsOf(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + "=" + a->text());
    return out;
}

} // namespace

using Menus = MainWindowFixture;
using RowCommands = MainWindowFixture;

TEST_F(Menus, TheMenuBarAndThePopUpCarryEveryItemInOrder) {
    frmMain w;
    QStringList bar;
    for (const QAction* a : w.menuBar()->actions())
        bar << a->menu()->objectName() + "=" + a->text();
    EXPECT_EQ(bar, (QStringList{"mnuEdit=&Edit", "menuOption=&Option", "mnuhelp=&Help"}));
    EXPECT_EQ(itemsOf(w.mnuEdit),
              (QStringList{"mnupreferances=&Preferances Ctr+P", "mnuExport=&Export Ctr+E", "-", "mnuexit=E&xit Ctl+X"}));
    EXPECT_EQ(itemsOf(w.menuOption), QStringList{"mnuChangeLanguage=Change Language..."});
    EXPECT_EQ(itemsOf(w.mnuhelp), (QStringList{"mnuWebsite=Visit Our &website Ctr+W", "mnuShowHelp=&Help Ctr+H", "-",
                                               "mnuAbout=&About..."}));
    EXPECT_EQ(itemsOf(w.mnuCtxMenu),
              (QStringList{"mnuCtxOpen=Open", "mnuCtxOpenFolder=Show Contaning Folder", "mnuCtxPrintFile=Print", "-",
                           "mnuCtxSelectAll=Select All Ctr+A", "mnuCtxInvSelect=Invert Selection",
                           "mnuCtxDeSelectAll=Deselect All Ctr+D", "-", "mnuCtxCheckSelection=Check Selection",
                           "mnuCtxUnCheckSelection=UnCheck Selection",
                           "mnuCtxCheckInvertSelection=Invert Check Selection"}));
    // The hints are captions only: no key is bound to an item.
    for (const QAction* a : w.findChildren<QAction*>())
        EXPECT_TRUE(a->shortcut().isEmpty()) << a->objectName().toStdString();
}

TEST_F(Menus, ARightPressOnADataCellOpensThePopUpAndNowhereElse) {
    frmMain w;
    addRow(w, "a.tif");
    w.grdSearchList_MouseDown(2, 0, 0, 0, {10, 10}); // header
    EXPECT_FALSE(w.mnuCtxMenu->isVisible());
    w.grdSearchList_MouseDown(1, 0, 1, 0, {10, 10}); // left press
    EXPECT_FALSE(w.mnuCtxMenu->isVisible());
    w.grdSearchList_MouseDown(2, 0, 1, 0, {10, 10});
    EXPECT_TRUE(w.mnuCtxMenu->isVisible());
    w.mnuCtxMenu->hide();
}

TEST_F(Menus, WholeGridAndHighlightedCheckCommandsEachEndWithTheSummary) {
    frmMain w;
    FlexGrid* g = w.grdSearchList;
    addRow(w, "a.tif", "/d", "2");
    addRow(w, "b.tif", "/d", "Error");
    addRow(w, "c.tif", "/d", "3");
    addRow(w, "d.pdf", "/d", "5");

    w.mnuCtxSelectAll->trigger();
    EXPECT_EQ(checks(g), (QList<int>{flexChecked, flexNoCheckbox, flexChecked, flexChecked}));
    EXPECT_EQ(w.StatusText(), "3" + kSummary + "5");

    // Invert all: the "Error" row ends unchecked, with its box back.
    w.mnuCtxInvSelect->trigger();
    EXPECT_EQ(checks(g), QList<int>(4, flexUnchecked));
    EXPECT_EQ(w.StatusText(), "0" + kSummary + "0");
    w.mnuCtxInvSelect->trigger();
    EXPECT_EQ(checks(g), (QList<int>{flexChecked, flexUnchecked, flexChecked, flexChecked}));

    w.mnuCtxSelectAll->trigger(); // the "Error" row loses its box again
    g->Select(2, 0, 3, 0);
    w.mnuCtxUnCheckSelection->trigger();
    EXPECT_EQ(checks(g), (QList<int>{flexChecked, flexUnchecked, flexUnchecked, flexChecked}));
    EXPECT_EQ(w.StatusText(), "2" + kSummary + "2");
    w.mnuCtxSelectAll->trigger();
    w.mnuCtxCheckInvertSelection->trigger(); // the boxless "Error" row is not spared
    EXPECT_EQ(checks(g), (QList<int>{flexChecked, flexChecked, flexUnchecked, flexChecked}));
    EXPECT_EQ(w.StatusText(), "3" + kSummary + "2");
    g->Select(1, 0, 4, 0);
    w.mnuCtxCheckSelection->trigger();
    EXPECT_EQ(checks(g), QList<int>(4, flexChecked));
    EXPECT_EQ(w.StatusText(), "4" + kSummary + "5");
    w.mnuCtxDeSelectAll->trigger();
    EXPECT_EQ(checks(g), QList<int>(4, flexUnchecked));
    EXPECT_EQ(w.StatusText(), "0" + kSummary + "0");
}

TEST_F(Menus, CheckCommandsDoNothingWithoutDataRows) {
    frmMain w;
    QString marker = QStringLiteral("untouched");
    w.SetStatusText(marker);
    for (QAction* a : {w.mnuCtxSelectAll, w.mnuCtxInvSelect, w.mnuCtxDeSelectAll, w.mnuCtxCheckSelection,
                       w.mnuCtxUnCheckSelection, w.mnuCtxCheckInvertSelection})
        a->trigger();
    EXPECT_EQ(w.StatusText(), "untouched");
    EXPECT_EQ(w.grdSearchList->Rows(), 1);
}

TEST_F(RowCommands, OpenShowFolderAndPrintGoThroughTheShellWithOnePathSeparator) {
    frmMain w;
    const QString folder = storage.root();
    ASSERT_TRUE(writeFile(folder + "/scan 1.tif", "x"));
    w.mnuCtxOpen->trigger(); // no rows: nothing
    EXPECT_TRUE(ui.fake.launches.isEmpty());

    addRow(w, "scan 1.tif", folder + "/"); // a location that ends with the separator
    addRow(w, "gone.tif", folder);
    w.grdSearchList->setRow(1);
    w.mnuCtxOpen->trigger();
    w.mnuCtxOpenFolder->trigger();
    ASSERT_EQ(ui.fake.launches.size(), 2);
    EXPECT_EQ(ui.fake.launches[0].verb, "open");
    EXPECT_EQ(ui.fake.launches[0].path, folder + "/scan 1.tif");
    EXPECT_EQ(ui.fake.launches[1].verb, "Open");
    EXPECT_EQ(ui.fake.launches[1].path, folder + "/");

    // Print: the printer dialog first; its cancel ends the command silently.
    w.mnuCtxPrintFile->trigger();
    EXPECT_EQ(ui.fake.printerDialogs, 1);
    EXPECT_EQ(ui.fake.launches.size(), 2);
    ui.fake.printerAnswer = true;
    w.mnuCtxPrintFile->trigger();
    ASSERT_EQ(ui.fake.launches.size(), 3);
    EXPECT_EQ(ui.fake.launches[2].verb, "Print");
    EXPECT_EQ(ui.fake.launches[2].path, folder + "/scan 1.tif");

    // A file deleted since the search: not even the printer dialog.
    w.grdSearchList->setRow(2);
    w.mnuCtxPrintFile->trigger();
    EXPECT_EQ(ui.fake.printerDialogs, 2);
    EXPECT_EQ(ui.fake.launches.size(), 3);
    EXPECT_TRUE(ui.fake.messages.isEmpty());

    // A file no program opens gets the chooser.
    ui.fake.shellResult = false;
    w.grdSearchList->setRow(1);
    w.mnuCtxOpen->trigger();
    EXPECT_EQ(ui.fake.openWith, QList<QString>{folder + "/scan 1.tif"});
}

TEST_F(RowCommands, WhatTheDesktopCannotOpenOrPrintIsShownWithItsNameAndReason) {
    frmMain w;
    const QString folder = storage.root();
    ASSERT_TRUE(writeFile(folder + "/scan 1.tif", "x"));
    addRow(w, "scan 1.tif", folder);
    w.grdSearchList->setRow(1);

    // No default printer: the print command's own words reach the user.
    ui.fake.printerAnswer = true;
    ui.fake.shellFailure = "lp: Error - No default destination.";
    w.mnuCtxPrintFile->trigger();
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text,
              "Unable to print \"" + folder + "/scan 1.tif\".\r\nlp: Error - No default destination.");
    EXPECT_EQ(ui.fake.messages[0].title, "Quillmere 3.1");

    // No file manager, no browser: each message names what was to be opened.
    ui.fake.shellFailure.clear();
    ui.fake.shellResult = false;
    w.mnuCtxOpenFolder->trigger();
    w.mnuWebsite->trigger();
    ASSERT_EQ(ui.fake.messages.size(), 3);
    EXPECT_TRUE(ui.fake.messages[1].text.startsWith("Unable to open \"" + folder + "\".\r\n"));
    EXPECT_TRUE(ui.fake.messages[2].text.startsWith("Unable to open \"" + kWebAddress + "\".\r\n"));
    EXPECT_TRUE(ui.fake.openWith.isEmpty()); // the chooser is for files only
}

TEST_F(Menus, HelpWebSiteAndAbout) {
    frmMain w;
    w.mnuShowHelp->trigger(); // no help.chm beside the test program
    ASSERT_EQ(ui.fake.messages.size(), 1);
    EXPECT_EQ(ui.fake.messages[0].text, "Help Not Found.");
    EXPECT_EQ(ui.fake.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.fake.messages[0].title, "Quillmere 3.1");

    w.mnuWebsite->trigger();
    ASSERT_EQ(ui.fake.launches.size(), 1);
    EXPECT_EQ(ui.fake.launches[0].path, kWebAddress);
    EXPECT_TRUE(kWebAddress.contains(".example")); // an address of ours, not anybody else's

    ui.fake.onShowModal = [&](QObject* dialog) {
        auto* about = qobject_cast<frmAbout*>(dialog);
        EXPECT_TRUE(about);
        if (!about) return 0;
        EXPECT_EQ(about->parentWidget(), &w);
        EXPECT_EQ(about->windowTitle(), "About Quillmere 3.1");
        EXPECT_EQ(about->lblProductName->text(), "Quillmere 3.1");
        EXPECT_EQ(about->lblSupportEmail->text(), "Support at: " + kSupportEmail);
        EXPECT_EQ(about->lblWebsite->text(), "Website:" + kWebAddress);
        EXPECT_EQ(about->cmdQuit->text(), "&OK");
        about->lblSupportEmail->clicked();
        about->lblWebsite->clicked();
        EXPECT_FALSE(about->result()); // the box stays open after either link
        about->cmdQuit->click();
        return about->result();
    };
    w.mnuAbout->trigger();
    ASSERT_EQ(ui.fake.modalShows.size(), 1);
    ASSERT_EQ(ui.fake.launches.size(), 3);
    EXPECT_EQ(ui.fake.launches[1].verb, "open");
    EXPECT_EQ(ui.fake.launches[1].path, "mailto:" + kSupportEmail + "?subject=Quillmere 3.1");
    EXPECT_EQ(ui.fake.launches[2].path, kWebAddress);
}

TEST_F(Menus, EnterInTheAboutBoxClosesItAndStartsNoMail) {
    frmAbout about;
    about.show();
    QApplication::setActiveWindow(&about);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    ASSERT_TRUE(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(ui.fake.launches.isEmpty());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(Menus, PreferencesReapplyTheColumnsAndSearchTheStartFolderOnlyAfterAChange) {
    const QString folder = QDir(startFolder.path()).canonicalPath();
    ASSERT_TRUE(writeFile(folder + "/a.tif", "x"));
    frmMain w;
    ASSERT_EQ(w.grdSearchList->Rows(), 2); // the start folder's search
    w.grdSearchList->setRows(1);

    ui.fake.onShowModal = [](QObject* d) {
        static_cast<frmPreferences*>(d)->cmdCancel->click();
        return 0;
    };
    w.mnupreferances->trigger();
    EXPECT_EQ(w.grdSearchList->Rows(), 1);

    ui.fake.onShowModal = [](QObject* d) {
        auto* p = static_cast<frmPreferences*>(d);
        p->vsColumnSettings->setRow(3); // "Pages"
        p->cmdUp->click();
        p->cmdUp->click();
        p->cmdOK->click();
        return 1;
    };
    w.mnupreferances->trigger();
    EXPECT_EQ(headers(w.grdSearchList).first(), "Pages");
    EXPECT_EQ(w.grdSearchList->Rows(), 2); // searched again, once
    EXPECT_EQ(column(w.grdSearchList, "Name"), QStringList{"a.tif"});
}
