#include "gui/widgets/filetypeicons.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

// The Icon= value of a desktop entry's main group; "" when it has none.
QString desktopIconValue(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    bool inMain = false;
    for (int lines = 0; lines < 400 && !f.atEnd(); ++lines) {
        const QString line = QString::fromUtf8(f.readLine(4096)).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMain = line == QLatin1String("[Desktop Entry]");
        else if (inMain && line.startsWith(QLatin1String("Icon=")))
            return line.mid(5).trimmed();
    }
    return {};
}

QIcon desktopIcon(const QString& path) {
    const QString value = desktopIconValue(path);
    if (value.isEmpty()) return {};
    if (QFileInfo(value).isAbsolute()) return QFileInfo::exists(value) ? QIcon(value) : QIcon();
    return QIcon::fromTheme(value);
}

} // namespace

QIcon FileTypeIcons::icon(const QString& key) {
    const auto cached = m_icons.constFind(key);
    if (cached != m_icons.cend()) return *cached;
    const FileTypeIconSource source = m_types.iconSource(key);
    QIcon icon;
    if (!source.desktopFile.isEmpty()) icon = desktopIcon(source.desktopFile);
    if (icon.isNull() && !source.themeName.isEmpty()) icon = QIcon::fromTheme(source.themeName);
    if (icon.isNull() && !source.genericName.isEmpty()) icon = QIcon::fromTheme(source.genericName);
    if (icon.isNull()) icon = m_fallback;
    m_icons.insert(key, icon);
    return icon;
}

} // namespace platform
