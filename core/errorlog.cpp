#include "core/errorlog.h"

#include "core/globals.h"

#include <QDateTime>
#include <QFile>

namespace modGeneral {

void LogError(const QString& message) {
    // An empty data folder would put the log at the file-system root; write nothing instead.
    if (StoragePath.isEmpty())
        return;
    QFile log(StoragePath + QStringLiteral("/Errors.Log"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    log.write((message + QStringLiteral("- ") + stamp + QStringLiteral("\r\n")).toUtf8());
}

QString ComposeErrorMessage(int number, const QString& description, const QString& procedure, int line,
                            const QString& owner) {
    return QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" (") + description +
           QStringLiteral(") in procedure ") + procedure + QStringLiteral(" at Line No. ") +
           QString::number(line) + owner;
}

} // namespace modGeneral
