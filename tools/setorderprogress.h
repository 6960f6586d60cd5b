#pragma once

// Progress of a run shown on the open set-order dialog's "ProgressBar1": the merge reports
// through it, and so can the page operations (TiffPdfCommands::progress takes it as it is).
//
//   commands.progress = SetOrderProgress();
//
// The dialog is looked up through SetOrderForm when each value arrives, so a dialog that has
// closed meanwhile is simply not there. It may be called from any thread: off the GUI thread
// the value is queued to it, in order.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

// The set-order-and-merge dialog while it is shown; the main window points it there.
extern QPointer<QObject> SetOrderForm;

using RunProgress = std::function<void(int done, int total, const QString& file)>;

RunProgress SetOrderProgress();
