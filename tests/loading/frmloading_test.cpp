#include "mainwindow/frmloading.h"

#include "gui/cursor/canicursor.h"
#include "tests/support/testdir.h"

#include <QFrame>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QImage grabOf(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QFrame* panelOf(frmLoading& w) {
    return w.findChild<QFrame*>(QStringLiteral("pnlStatus"));
}
QTimer* timerOf(frmLoading& w) {
    return w.findChild<QTimer*>(QStringLiteral("Timer1"));
}

// The panel's text pixels: everything that differs from the panel's background.
QRect inkOf(const QImage& panel, QRgb background, int inset) {
    QRect ink;
    for (int y = inset; y < panel.height() - inset; ++y)
        for (int x = inset; x < panel.width() - inset; ++x)
            if (panel.pixel(x, y) != background) ink |= QRect(x, y, 1, 1);
    return ink;
}

// The hourglass's square as the window shows it.
QImage cursorSquare(frmLoading& w) {
    return grabOf(&w).copy(16, 16, 32, 32);
}

// The same square drawn by the cursor itself over the window's background.
QImage expectedSquare(const cAniCursor& c, const QColor& background) {
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(background);
    QPainter p(&img);
    c.Draw(p, 0, 0);
    return img;
}

} // namespace

TEST(LoadingWindow, LoadStartsTheCountAtZeroAndTheTimerAtAHundredMilliseconds) {
    frmLoading w;
    ASSERT_TRUE(panelOf(w));
    ASSERT_TRUE(timerOf(w));
    w.Form_Load();
    EXPECT_EQ(w.StatusText(), "Please wait.Loading...files (0)");
    EXPECT_EQ(timerOf(w)->interval(), 100);
    EXPECT_TRUE(timerOf(w)->isActive());
    ASSERT_TRUE(w.Cursor());
    EXPECT_EQ(w.Cursor()->FrameCount(), 15);

    const cAniCursor* first = w.Cursor();
    w.Form_Unload();
    EXPECT_FALSE(timerOf(w)->isActive());
    w.Form_Load(); // a later search loads again, with the same cursor object
    EXPECT_EQ(w.Cursor(), first);
    EXPECT_EQ(w.Cursor()->Frame(), 0);
}

TEST(LoadingWindow, ShowingLoadsAndClosingUnloads) {
    QWidget owner;
    frmLoading w(&owner);
    w.show();
    EXPECT_TRUE(timerOf(w)->isActive());
    QTest::keyClick(&w, Qt::Key_Escape); // takes no input: Escape does not close it
    EXPECT_TRUE(w.isVisible());
    w.UpdateStatus(4);
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(timerOf(w)->isActive());
    w.show(); // the next search
    EXPECT_EQ(w.StatusText(), "Please wait.Loading...files (0)");
    w.close();
}

TEST(LoadingWindow, CountReadsExactlyAndIsCentredInThePanel) {
    frmLoading w;
    w.Form_Load();
    for (int n : {12, 0, 99999}) {
        SCOPED_TRACE(n);
        w.UpdateStatus(n);
        EXPECT_EQ(w.StatusText(), QStringLiteral("Please wait.Loading...files (%1)").arg(n));
        QFrame* panel = panelOf(w);
        const QImage image = grabOf(panel);
        const QRgb background = image.pixel(panel->width() / 2, panel->frameWidth() + 1);
        const QRect ink = inkOf(image, background, panel->frameWidth() + 1);
        ASSERT_FALSE(ink.isEmpty());
        const int leftGap = ink.left(), rightGap = image.width() - 1 - ink.right();
        EXPECT_LE(std::abs(leftGap - rightGap), 3);
        const int topGap = ink.top(), bottomGap = image.height() - 1 - ink.bottom();
        EXPECT_LE(std::abs(topGap - bottomGap), 4);
    }
    w.UpdateStatus(12);
    EXPECT_EQ(w.StatusText(), "Please wait.Loading...files (12)");
}

TEST(LoadingWindow, SuccessiveUpdatesDoNotOverprint) {
    frmLoading shown, fresh;
    shown.Form_Load();
    fresh.Form_Load();
    shown.UpdateStatus(888888888);
    (void)grabOf(panelOf(shown));
    shown.UpdateStatus(7);
    fresh.UpdateStatus(7);
    EXPECT_EQ(grabOf(panelOf(shown)), grabOf(panelOf(fresh)));
}

TEST(LoadingWindow, PaintsTheCurrentFrameAtSixteenSixteenAndTicksStepIt) {
    frmLoading w;
    w.Form_Load();
    const QColor background = w.palette().color(QPalette::Window);
    ASSERT_EQ(w.Cursor()->Frame(), 0);
    EXPECT_EQ(cursorSquare(w), expectedSquare(*w.Cursor(), background));
    QList<QImage> seen = {cursorSquare(w)};
    for (int tick = 1; tick <= 15; ++tick) {
        w.Timer1_Timer();
        EXPECT_EQ(w.Cursor()->Frame(), tick % 15);
        const QImage square = cursorSquare(w);
        EXPECT_EQ(square, expectedSquare(*w.Cursor(), background)) << "tick " << tick;
        if (tick < 15) {
            EXPECT_FALSE(seen.contains(square)) << "tick " << tick; // no frame is left behind
        }
        seen.append(square);
    }
    EXPECT_EQ(seen.last(), seen.first()); // round the whole animation
}

TEST(LoadingWindow, WithoutItsCursorTheWindowStillCounts) {
    ScopedTmpDir redirect(QStringLiteral("/nonexistent-quillmere-tmp"));
    frmLoading w;
    w.Form_Load();
    w.Timer1_Timer();
    w.UpdateStatus(3);
    EXPECT_EQ(w.StatusText(), "Please wait.Loading...files (3)");
    QImage blank(32, 32, QImage::Format_RGB32);
    blank.fill(w.palette().color(QPalette::Window));
    EXPECT_EQ(cursorSquare(w), blank);
    QFrame* panel = panelOf(w);
    const QImage image = grabOf(panel);
    EXPECT_FALSE(
        inkOf(image, image.pixel(panel->width() / 2, panel->frameWidth() + 1), panel->frameWidth() + 1)
            .isEmpty());
}
