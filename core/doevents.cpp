#include "core/doevents.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <exception>
#include <thread>

namespace {

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void DoEvents() {
    if (onGuiThread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void DoEventsWhile(const std::function<void()>& work) {
    QAbstractEventDispatcher* dispatcher = onGuiThread() ? QAbstractEventDispatcher::instance() : nullptr;
    if (!dispatcher) {
        work();
        return;
    }
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true, std::memory_order_release);
        // A wake-up is kept until the next wait, so one sent before the wait starts is not lost.
        dispatcher->wakeUp();
    });
    // Sleeps until an event or the worker's wake-up arrives: no polling, no added delay.
    while (!done.load(std::memory_order_acquire))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
