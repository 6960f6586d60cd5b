#include "app/icontheme.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>

namespace {

const QString kStandIn = QStringLiteral("Adwaita");

bool isPlaceholder(const QString& theme) {
    return theme.isEmpty() || theme == QLatin1String("hicolor");
}

} // namespace

void UseIconTheme() {
    // Without a desktop platform Qt searches its resources only: add the system's icon folders.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = QDir(data).filePath(QStringLiteral("icons"));
        if (!paths.contains(icons) && QFileInfo(icons).isDir()) paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);

    bool standInFound = false;
    for (const QString& path : paths)
        standInFound = standInFound ||
                       QFileInfo::exists(path + QLatin1Char('/') + kStandIn + QStringLiteral("/index.theme"));
    if (!standInFound) return;
    if (isPlaceholder(QIcon::themeName()))
        QIcon::setThemeName(kStandIn);
    else if (isPlaceholder(QIcon::fallbackThemeName()))
        QIcon::setFallbackThemeName(kStandIn);
}
