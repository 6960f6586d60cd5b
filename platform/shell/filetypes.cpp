#include "platform/shell/filetypes.h"

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
                                 FileTypeIconSource{mime.iconName(), mime.genericIconName(), QString()});
        it = m_infoByMime.insert(mimeName, info);
    }
    if (mimeName != kDesktopEntry) return *it;
    // Desktop entries play the part of shortcuts: each name keeps the icon of the first
    // entry of that name.
    FileTypeInfo info = *it;
    info.iconKey = name;
    if (!m_iconSources.contains(name)) {
        const FileTypeIconSource typeIcon = m_iconSources.value(it->iconKey);
        m_iconSources.insert(name, FileTypeIconSource{typeIcon.themeName, typeIcon.genericName, path});
    }
    return info;
}

} // namespace platform
