#include "app/frmprogressdialog.h"
#include "app/frmvistaerrdlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(FirstRunNotice, FillsItsBarInFiftyStepsAndClosesOnTheNextTick) {
    frmProgressDialog notice;
    EXPECT_EQ(notice.windowTitle(), "Quillmere 3.1");
    EXPECT_EQ(notice.Label1->text(), "Loading With Default Settings");
    EXPECT_EQ(notice.Timer1->interval(), 10);
    EXPECT_TRUE(notice.Timer1->isActive());
    EXPECT_EQ(notice.ProgressBar1->maximum(), 50);
    notice.show();
    for (int tick = 0; tick < 50; ++tick)
        notice.Timer1_Timer();
    EXPECT_EQ(notice.ProgressBar1->value(), 50);
    EXPECT_TRUE(notice.isVisible());
    notice.Timer1_Timer();
    EXPECT_FALSE(notice.isVisible());
    EXPECT_FALSE(notice.Timer1->isActive());
    EXPECT_EQ(notice.result(), QDialog::Accepted);
}

TEST(FirstRunNotice, ClicksCloseItOnlyOnceTheBarIsFull) {
    frmProgressDialog notice;
    notice.Timer1->stop(); // the test ticks by hand
    notice.show();
    for (int tick = 0; tick < 10; ++tick)
        notice.Timer1_Timer();
    QTest::mouseClick(notice.Label1, Qt::LeftButton);
    QTest::mouseClick(&notice, Qt::LeftButton);
    QTest::mouseClick(notice.ProgressBar1, Qt::LeftButton);
    EXPECT_TRUE(notice.isVisible());
    for (int tick = 10; tick < 50; ++tick)
        notice.Timer1_Timer();
    QTest::mouseClick(notice.Label1, Qt::LeftButton);
    EXPECT_FALSE(notice.isVisible());
}

TEST(DataFolderMessage, ShowsItsTextAndClosesOnOk) {
    FrmVistaErrDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Quillmere 3.1");
    EXPECT_EQ(dialog.Label1->text(), "Needed Admin Permission :Cann't run without adminstrator rights in Vista\"");
    EXPECT_EQ(dialog.OKButton->text(), "OK");
    EXPECT_EQ(dialog.findChild<QPushButton*>("OKButton"), dialog.OKButton);
    dialog.show();
    QTest::mouseClick(dialog.OKButton, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}
