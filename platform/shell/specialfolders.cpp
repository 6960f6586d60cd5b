#include "platform/shell/specialfolders.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

QString desktopFolder() { return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation); }

QString appDataFolder() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    const QString home = QDir::homePath();
    if (home.isEmpty())
        return QString();
    return QDir::cleanPath(home + QStringLiteral("/.local/share"));
}

QString homeFolder() { return QDir::homePath(); }

} // namespace platform
