#pragma once

// Long work on a worker thread while the window's thread keeps handling its events, and what
// the work reports brought back to the window's thread:
//
//   run.afterFile = workerrun::LatestValue(bar, [bar](int done) { bar->setValue(done); });
//   workerrun::Run([&] { run.Run(files); });
//
// Whatever `work` uses must not be changed by the events handled meanwhile, and it must not
// touch widgets itself: it reports through the calls below.

#include <QObject>
#include <functional>

namespace workerrun {

// Runs `work` on a worker thread (see DoEventsWhile) and returns once it has returned and
// what it queued for this thread has run, so the last report has arrived. Rethrows what
// `work` threw, after that. Without a window thread, `work` simply runs here.
void Run(const std::function<void()>& work);

// `call` on `context`'s thread: at once when made there, else queued to it, in order. Calls
// that arrive after `context` has gone are dropped.
void Deliver(QObject* context, std::function<void()> call);

// A count reported from the worker, shown on `context`'s thread: at most one delivery waits
// at a time and shows the latest count when it runs, so a count that moves faster than the
// window repaints costs a repaint per event pump, not one per step. `context` must outlive
// the work.
std::function<void(int)> LatestValue(QObject* context, std::function<void(int)> show);

} // namespace workerrun
