#include "mainwindow/csizemovehelper.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QWidget>
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>

namespace {

// Ends the quiet interval when the test says so.
class ManualTimer : public cSizeMoveHelper::QuietTimer {
public:
    void start(std::function<void()> onTimeout) override {
        pending = std::move(onTimeout);
        ++starts;
    }
    void stop() override { pending = nullptr; }
    void fire() {
        auto f = std::move(pending);
        pending = nullptr;
        if (f) f();
    }
    std::function<void()> pending;
    int starts = 0;
};

struct Recorder {
    QStringList events;
    QList<QRect> rects;
    void attach(cSizeMoveHelper& h) {
        QObject::connect(&h, &cSizeMoveHelper::EnterSizeMove, [this] { events << "enter"; });
        QObject::connect(&h, &cSizeMoveHelper::ExitSizeMove, [this] { events << "exit"; });
        QObject::connect(&h, &cSizeMoveHelper::Activate,
                         [this](bool byMouse) { events << (byMouse ? "activate-mouse" : "activate"); });
        QObject::connect(&h, &cSizeMoveHelper::Deactivate, [this] { events << "deactivate"; });
        QObject::connect(
            &h, &cSizeMoveHelper::Moving, &h,
            [this](int& l, int& t, int& w, int& ht) {
                events << "moving";
                rects << QRect(l, t, w, ht);
            },
            Qt::DirectConnection);
    }
};

// sendEvent() marks every event as ours; notify() delivers it as the window system would.
void deliverAsWindowSystem(QWidget& w, QEvent& e) {
    QSpontaneKeyEvent::setSpontaneous(&e);
    QCoreApplication::instance()->notify(&w, &e);
}

void userResize(QWidget& w, QSize size) {
    // What the window system reports while the user drags the frame.
    QResizeEvent e(size, w.size());
    deliverAsWindowSystem(w, e);
}

void userMove(QWidget& w, QPoint pos) {
    QMoveEvent e(pos, w.pos());
    deliverAsWindowSystem(w, e);
}

void sendActivation(QWidget& w, QEvent::Type type) {
    QEvent e(type);
    QCoreApplication::sendEvent(&w, &e);
}

struct HelperFixture : ::testing::Test {
    HelperFixture() {
        auto t = std::make_unique<ManualTimer>();
        timer = t.get();
        helper = std::make_unique<cSizeMoveHelper>(nullptr, std::move(t));
        window.resize(900, 600);
        window.show();
        helper->setNoFullDrag(true);
        helper->Attach(&window);
        sendActivation(window, QEvent::WindowActivate); // the user's drag starts on an active window
        rec.attach(*helper);
    }
    QWidget window;
    ManualTimer* timer = nullptr;
    std::unique_ptr<cSizeMoveHelper> helper;
    Recorder rec;
};

} // namespace

TEST_F(HelperFixture, ABurstOfUserChangesIsOneDragEndedByTheQuietInterval) {
    userMove(window, {40, 50});
    userMove(window, {60, 70});
    userResize(window, {950, 640});
    EXPECT_TRUE(helper->InSizeMove());
    EXPECT_EQ(rec.events, (QStringList{"enter", "moving", "moving"}));
    // The window's position is its inner one; the handler sees the frame's.
    EXPECT_EQ(rec.rects.last().topLeft(), QPoint(60, 70) - (window.pos() - window.frameGeometry().topLeft()));
    timer->fire();
    EXPECT_EQ(rec.events.last(), "exit");
    EXPECT_EQ(rec.events.count("enter"), 1);
    EXPECT_FALSE(helper->InSizeMove());
    // The next burst is a new drag.
    userMove(window, {80, 90});
    timer->fire();
    EXPECT_EQ(rec.events.count("enter"), 2);
    EXPECT_EQ(rec.events.count("exit"), 2);
}

TEST_F(HelperFixture, SizingHandlerCanHoldTheDraggedFrameAtAMinimum) {
    QList<QRect> seen;
    QObject::connect(
        helper.get(), &cSizeMoveHelper::Sizing, helper.get(),
        [&](int& l, int& t, int& w, int& h) {
            seen << QRect(l, t, w, h);
            w = std::max(w, 700);
            h = std::max(h, 403);
        },
        Qt::DirectConnection);
    // The handler sees and changes the outer frame; the window keeps its decorations.
    const QSize decorations = window.frameGeometry().size() - window.size();
    userResize(window, {500, 300});
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].size(), QSize(500, 300) + decorations);
    EXPECT_EQ(window.size(), QSize(700, 403) - decorations);
    EXPECT_EQ(window.frameGeometry().size(), QSize(700, 403)); // our own resize raised nothing more
    EXPECT_EQ(seen.size(), 1);
    timer->fire();

    // Outside a drag a size change reports the current rectangle, and changes made to
    // it are not applied.
    window.resize(600, 300);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1].size(), QSize(600, 300) + decorations);
    EXPECT_EQ(window.size(), QSize(600, 300));
    EXPECT_EQ(rec.events.count("enter"), 1);
}

TEST_F(HelperFixture, ChangesOfAMaximisedWindowAreNoDrag) {
    window.setWindowState(Qt::WindowMaximized);
    userResize(window, {1200, 900});
    EXPECT_FALSE(helper->InSizeMove());
    EXPECT_EQ(rec.events.count("enter"), 0);
}

TEST_F(HelperFixture, ActivationIsTrackedAndRaised) {
    EXPECT_TRUE(helper->Active());
    sendActivation(window, QEvent::WindowDeactivate);
    EXPECT_FALSE(helper->Active());
    sendActivation(window, QEvent::WindowActivate);
    sendActivation(window, QEvent::WindowActivate);
    EXPECT_TRUE(helper->Active());
    sendActivation(window, QEvent::WindowDeactivate);
    EXPECT_FALSE(helper->Active());
    EXPECT_EQ(rec.events, (QStringList{"deactivate", "activate", "activate", "deactivate"}));
    EXPECT_TRUE(helper->NoFullDrag());
    helper->setNoFullDrag(false);
    EXPECT_FALSE(helper->NoFullDrag());
}

TEST_F(HelperFixture, AttachingAnotherWindowLeavesTheFirst) {
    QWidget second;
    second.show();
    helper->Attach(&second);
    userMove(window, {10, 10});
    sendActivation(window, QEvent::WindowActivate);
    EXPECT_TRUE(rec.events.isEmpty());
    // The window manager placing a window that was never active is no drag.
    userMove(second, {20, 20});
    EXPECT_TRUE(rec.events.isEmpty());
    sendActivation(second, QEvent::WindowActivate);
    userMove(second, {30, 30});
    EXPECT_EQ(rec.events, (QStringList{"activate", "enter", "moving"}));
    helper->Detach();
    timer->fire(); // a detached helper ends no drag
    EXPECT_EQ(rec.events.count("exit"), 0);
}

TEST(SizeMoveHelper, ADestroyedWindowEndsTheSubscription) {
    auto t = std::make_unique<ManualTimer>();
    ManualTimer* timer = t.get();
    cSizeMoveHelper helper(nullptr, std::move(t));
    int exits = 0;
    QObject::connect(&helper, &cSizeMoveHelper::ExitSizeMove, [&] { ++exits; });
    {
        QWidget w;
        w.show();
        helper.Attach(&w);
        sendActivation(w, QEvent::WindowActivate);
        userMove(w, {5, 5});
    }
    timer->fire();
    EXPECT_EQ(exits, 0);
    helper.Detach(); // nothing left to detach; must not touch the dead window
}
