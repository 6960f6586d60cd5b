#include "jobs/clonelog.h"

namespace clonejob::clonelog {

QString Header(int totalFiles, const QString& clonePath) {
    return QStringLiteral("Total Files=%1\r\nClonning_Path : %2\r\nProcessing.....").arg(totalFiles).arg(clonePath);
}

QString LeftOut(const QString& path, const QString& reason) {
    return QStringLiteral("\r\n%1.....Left out: %2").arg(path, reason);
}

QString Visiting(const QString& source) { return QStringLiteral("\r\n") + source + QStringLiteral("....."); }

QString Visited(const QString& status) { return status; }

QString CannotStart(const QString& cloneFolder) {
    return QStringLiteral("\r\nStopped: the job's files cannot be written in %1.").arg(cloneFolder) + Ending(true);
}

QString Stopped(const QString& failure, bool resumable) {
    return QStringLiteral("\r\nStopped: %1.%2")
        .arg(failure, resumable ? QStringLiteral(" The job can be resumed.") : QString());
}

QString Ending(bool terminated) { return QStringLiteral("\r\n") + EndingCaption(terminated); }

QString EndingCaption(bool terminated) {
    return terminated ? QStringLiteral("terminated....") : QStringLiteral("completed....");
}

} // namespace clonejob::clonelog
