#include "platform/shell/filetypes.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

const QString kDesktopEntry = QStringLiteral("application/x-desktop");
const QString kExecutable = QStringLiteral("application/x-executable");
// What a name that says nothing is typed as.
const QString kUnknown = QStringLiteral("application/octet-stream");
// After this many files of an unknown suffix whose content told nothing either, that suffix
// is taken as unknown without reading further files.
constexpr int kOpaqueAfter = 8;

bool isElf(const QMimeType& mime) {
    return mime.name() == kExecutable || mime.name() == QLatin1String("application/x-pie-executable") ||
           mime.name() == QLatin1String("application/x-sharedlib");
}

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

FileTypes::FileTypes() = default;

FileTypeInfo FileTypes::lookup(const QString& path, const QString& name, bool executable) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QStringView suffix = dot >= 0 ? QStringView(name).mid(dot + 1) : QStringView();
    const bool bySuffix = !m_globs.needsFullLookup(name, suffix);
    QString mimeName;
    if (bySuffix) mimeName = m_mimeBySuffix.value(suffix.toString());
    if (mimeName.isEmpty()) {
        mimeName = m_db.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
        if (bySuffix) m_mimeBySuffix.insert(suffix.toString(), mimeName);
    }
    if (mimeName != kUnknown) return infoFor(mimeName, path, name);

    // Only an unknown name costs a read of the file.
    if (suffix.isEmpty() || m_unknownBySuffix.value(suffix.toString()) < kOpaqueAfter) {
        QMimeType mime = m_db.mimeTypeForFile(path, QMimeDatabase::MatchContent);
        if (executable && isElf(mime)) mime = m_db.mimeTypeForName(kExecutable);
        mimeName = mime.name();
        if (!suffix.isEmpty()) {
            int& unknown = m_unknownBySuffix[suffix.toString()];
            unknown = mime.isDefault() ? unknown + 1 : 0;
        }
    }
    return infoFor(mimeName, path, name);
}

FileTypeInfo FileTypes::infoFor(const QString& mimeName, const QString& path, const QString& name) {
    auto it = m_infoByMime.find(mimeName);
    if (it == m_infoByMime.end()) {
        const QMimeType mime = m_db.mimeTypeForName(mimeName);
        FileTypeInfo info;
        info.typeName = (mime.comment().isEmpty() ? mime.name() : mime.comment()).toLower();
        info.iconKey = info.typeName;
        if (!m_iconSources.contains(info.iconKey))
            m_iconSources.insert(info.iconKey,
                                 IconSource{mime.iconName(), mime.genericIconName(), QString()});
        it = m_infoByMime.insert(mimeName, info);
    }
    if (mimeName != kDesktopEntry) return *it;
    // Desktop entries play the part of shortcuts: each name keeps the icon of the first
    // entry of that name.
    FileTypeInfo info = *it;
    info.iconKey = name;
    if (!m_iconSources.contains(name)) {
        const IconSource typeIcon = m_iconSources.value(it->iconKey);
        m_iconSources.insert(name, IconSource{typeIcon.themeName, typeIcon.genericName, path});
    }
    return info;
}

QIcon FileTypes::icon(const QString& key) {
    const auto cached = m_icons.constFind(key);
    if (cached != m_icons.cend()) return *cached;
    const IconSource source = m_iconSources.value(key);
    QIcon icon;
    if (!source.desktopFile.isEmpty()) icon = desktopIcon(source.desktopFile);
    if (icon.isNull() && !source.themeName.isEmpty()) icon = QIcon::fromTheme(source.themeName);
    if (icon.isNull() && !source.genericName.isEmpty()) icon = QIcon::fromTheme(source.genericName);
    if (icon.isNull()) icon = m_fallback;
    m_icons.insert(key, icon);
    return icon;
}

} // namespace platform
