#pragma once

// Every text the clone job writes into its processing log, in the order a run writes them.
// Lines are joined with "\r\n"; the dialog shows them as they come.

#include <QString>

namespace clonejob::clonelog {

// The first lines of a run: how many files, from where.
QString Header(int totalFiles, const QString& clonePath);
// A folder or file the scan leaves out, and why.
QString LeftOut(const QString& path, const QString& reason);
// Before an entry is handled: its image; then, once decided, its status.
QString Visiting(const QString& source);
QString Visited(const QString& status);
// A fresh job whose list or record cannot be written does not start.
QString CannotStart(const QString& cloneFolder);
// Why a pass ended early, and whether the job can be taken up again.
QString Stopped(const QString& failure, bool resumable);
// The last line; its text is also the caption of the processing box at the end.
QString Ending(bool terminated);
QString EndingCaption(bool terminated);

} // namespace clonejob::clonelog
