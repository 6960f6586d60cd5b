// A long call on a worker thread while the GUI thread keeps handling its events, and what it
// reports brought back to the GUI thread.
#include "core/doevents.h"

#include "core/runtimeerror.h"
#include "core/workerrun.h"

#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <numeric>
#include <semaphore>

TEST(DoEventsWhile, EventsRunDuringTheWorkWhichRunsElsewhereAndItsFailureComesBack) {
    std::binary_semaphore timerFired{0};
    QThread* workThread = nullptr;
    int ticks = 0;
    QTimer::singleShot(0, [&] {
        ++ticks;
        timerFired.release();
    });
    // The work ends only after the GUI thread has handled the timer: it cannot be blocked.
    DoEventsWhile([&] {
        workThread = QThread::currentThread();
        timerFired.acquire();
    });
    EXPECT_EQ(ticks, 1);
    EXPECT_NE(workThread, QThread::currentThread());

    EXPECT_THROW(DoEventsWhile([] { raiseError(61); }), RuntimeError);

    // Many short calls in a row return promptly: no wake-up is lost.
    std::atomic<int> calls{0};
    for (int i = 0; i < 200; ++i)
        DoEventsWhile([&] { ++calls; });
    EXPECT_EQ(calls, 200);
}

TEST(WorkerRun, WhatTheWorkReportedHasArrivedInOrderWhenItReturnsAlsoWhenItFails) {
    QObject window;
    std::vector<int> shown;
    const auto progress = workerrun::LatestValue(&window, [&](int done) { shown.push_back(done); });
    workerrun::Run([&] {
        for (int i = 1; i <= 1000; ++i)
            progress(i);
    });
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.back(), 1000);

    std::vector<int> calls;
    EXPECT_THROW(workerrun::Run([&] {
                     for (int i = 0; i < 100; ++i)
                         workerrun::Deliver(&window, [&calls, i] { calls.push_back(i); });
                     raiseError(61);
                 }),
                 RuntimeError);
    std::vector<int> inOrder(100);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    EXPECT_EQ(calls, inOrder);

    // Made on the window's thread, a call runs at once.
    workerrun::Deliver(&window, [&] { calls.clear(); });
    EXPECT_TRUE(calls.empty());
}
