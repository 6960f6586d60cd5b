// A long call on a worker thread while the GUI thread keeps handling its events.
#include "core/doevents.h"

#include "core/runtimeerror.h"

#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
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
