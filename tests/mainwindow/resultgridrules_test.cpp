#include "mainwindow/frmmaingeometry.h"
#include "mainwindow/resultgridlayout.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace resultgrid;

TEST(ResultGridLayout, MovingAColumnMovesItsSavedElements) {
    auto move = [](const QString& text, int from, int to) {
        return MoveListElement(text.split(','), from, to).join(',');
    };
    EXPECT_EQ(move("Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date", 2, 0),
              "Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    EXPECT_EQ(move("1800,250,700,1800,1000,1400,2000,2000", 2, 0), "700,1800,250,1800,1000,1400,2000,2000");
    EXPECT_EQ(move("a,b,c,d", 0, 3), "b,c,d,a");
    EXPECT_EQ(move("a,b,c,d", 3, 1), "a,d,b,c");
    EXPECT_EQ(move("a,b,c,d", 1, 1), "a,b,c,d");
    EXPECT_EQ(move("a,b", 0, 5), "a,b"); // a short list is left alone
}

TEST(MainWindowGeometry, StartStateFollowsTheSavedValues) {
    using namespace frmMainGeometry;
    struct Case {
        int value, left, top, width, height, last;
        bool move;
        std::optional<int> state;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0, true, Maximised},
        {0, 150, 150, 15000, 9000, 0, true, Maximised},
        {1, 150, 150, 15000, 9000, 2, true, Minimised},
        {2, 0, 0, 0, 0, 0, false, Maximised},
        {2, 0, 0, 0, 0, 2, false, Maximised},
        {2, 150, 300, 15000, 9000, 0, true, Normal},
        {2, 0, 0, 15000, 0, 2, true, Maximised},
        {3, 150, 300, 15000, 9000, 0, false, std::nullopt},
    };
    for (const Case& c : cases) {
        const StartPlan p = PlanWindowState(c.value, c.left, c.top, c.width, c.height, c.last);
        EXPECT_EQ(p.move, c.move) << c.value;
        EXPECT_EQ(p.state, c.state) << c.value;
        if (p.move) {
            EXPECT_EQ(p.frameTwips, QRect(c.left, c.top, c.width, c.height));
        }
    }
}

TEST(MainWindowGeometry, SaveWritesStateAndRectByState) {
    using namespace frmMainGeometry;
    const QRect frame(10, 20, 800, 600);
    EXPECT_EQ(PlanGeometrySave(Minimised, frame).state, std::nullopt);
    EXPECT_EQ(PlanGeometrySave(Minimised, frame).twips, std::nullopt);
    EXPECT_EQ(PlanGeometrySave(Maximised, frame).state, Maximised);
    EXPECT_EQ(PlanGeometrySave(Maximised, frame).twips, std::nullopt);
    EXPECT_EQ(PlanGeometrySave(Normal, frame).state, Normal);
    EXPECT_EQ(PlanGeometrySave(Normal, frame).twips, QRect(150, 300, 12000, 9000));

    int w = 500, h = 900;
    ClampToMinimumSize(w, h);
    EXPECT_EQ(w, 700);
    EXPECT_EQ(h, 900);
    w = 1000, h = 402;
    ClampToMinimumSize(w, h);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 403);
}

TEST(MainWindowGeometry, ASavedFrameNoScreenShowsIsBroughtOntoThePrimaryScreen) {
    using namespace frmMainGeometry;
    const QList<QRect> screens{QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
    // On either screen, or with its title mostly on one: as saved.
    EXPECT_EQ(FitOnScreens(QRect(2000, 100, 900, 700), screens), QRect(2000, 100, 900, 700));
    EXPECT_EQ(FitOnScreens(QRect(-300, 40, 900, 700), screens), QRect(-300, 40, 900, 700));
    // Saved on a third monitor that is gone, or with the title above the top.
    EXPECT_EQ(FitOnScreens(QRect(3300, 200, 900, 700), screens), QRect(510, 175, 900, 700));
    EXPECT_EQ(FitOnScreens(QRect(200, -500, 900, 700), screens), QRect(510, 175, 900, 700));
    // Larger than the screen it lands on.
    EXPECT_EQ(FitOnScreens(QRect(5000, 0, 2500, 1600), screens), QRect(0, 0, 1920, 1050));
}
