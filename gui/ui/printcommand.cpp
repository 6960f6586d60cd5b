#include "gui/ui/printcommand.h"

#include "core/doevents.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <future>

namespace platform {

namespace {

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QString said(const QByteArray& output) {
    return QString::fromLocal8Bit(output).trimmed();
}

} // namespace

QString PrintFile(const QString& file, const QStringList& command, std::chrono::milliseconds limit) {
    if (command.isEmpty()) return QStringLiteral("No print command is set up.");
    const QString program = command.constFirst();
    // The process lives on this thread and tells it when it ends; a worker only waits for
    // that word, so the window keeps painting however long the print system takes to answer.
    // (Declared before the process, which may still tell while it is destroyed.)
    std::promise<void> endedPromise;
    std::future<void> ended = endedPromise.get_future();
    bool told = false;
    const auto tell = [&] {
        if (!std::exchange(told, true)) endedPromise.set_value();
    };
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    QObject::connect(&process, &QProcess::finished, [&] { tell(); });
    QObject::connect(&process, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) tell();
    });
    process.start(program, command.mid(1) << file);

    bool finished = false;
    if (onGuiThread()) {
        DoEventsWhile([&] { finished = ended.wait_for(limit) == std::future_status::ready; });
    } else {
        finished = process.waitForFinished(int(limit.count())) || process.error() == QProcess::FailedToStart;
    }
    if (process.error() == QProcess::FailedToStart)
        return QStringLiteral("The print command %1 could not be started: %2")
            .arg(program, process.errorString());
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("The print command %1 did not finish within %2 seconds.")
            .arg(program)
            .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count());
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return QString();
    QString reason = said(process.readAllStandardError());
    if (reason.isEmpty()) reason = said(process.readAllStandardOutput());
    if (reason.isEmpty())
        reason = process.exitStatus() == QProcess::CrashExit
                     ? QStringLiteral("The print command %1 stopped unexpectedly.").arg(program)
                     : QStringLiteral("The print command %1 ended with code %2.")
                           .arg(program)
                           .arg(process.exitCode());
    return reason;
}

} // namespace platform
