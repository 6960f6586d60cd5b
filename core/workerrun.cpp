#include "core/workerrun.h"

#include "core/doevents.h"

#include <QThread>
#include <atomic>
#include <exception>
#include <memory>

namespace workerrun {

void Run(const std::function<void()>& work) {
    std::exception_ptr failure;
    try {
        DoEventsWhile(work);
    } catch (...) {
        failure = std::current_exception();
    }
    DoEvents(); // what the worker queued last
    if (failure) std::rethrow_exception(failure);
}

void Deliver(QObject* context, std::function<void()> call) {
    if (!context) return;
    if (QThread::currentThread() == context->thread())
        call();
    else
        QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

std::function<void(int)> LatestValue(QObject* context, std::function<void(int)> show) {
    struct Latest {
        std::atomic<int> value{0};
        std::atomic<bool> queued{false};
        std::function<void(int)> show;
    };
    auto latest = std::make_shared<Latest>(); // outlives a delivery that runs late
    latest->show = std::move(show);
    return [latest, context](int value) {
        latest->value.store(value);
        if (latest->queued.exchange(true)) return;
        Deliver(context, [latest] {
            latest->queued.store(false);
            latest->show(latest->value.load());
        });
    };
}

} // namespace workerrun
