#pragma once

// File type names and small icons for the result rows: the type name is the lower-cased
// description of the file's MIME type ("jpeg image"); icons come from the desktop's icon
// theme and are kept per key, so each type is looked up once.

#include "platform/shell/filetypesglobs.h"

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace platform {

struct FileTypeInfo {
    QString typeName; // lower-cased description
    QString iconKey;  // the type name; for a desktop entry its file name (each has its own icon)
};

class FileTypes {
public:
    FileTypes();

    // The type of one file. The name decides; the content (read from `path`) only when the
    // name's suffix is unknown. An executable ELF file (exec bit set) is an "executable";
    // all executables share one icon. A suffix whose first files all turn out unknown by
    // content as well is not read again, so a folder of many such files stays quick.
    FileTypeInfo lookup(const QString& path, const QString& name, bool executable);

    // The icon stored under a key that lookup answered: the first one found for it stays.
    // Falls back to the theme's generic icon of the type, then to fallbackIcon().
    QIcon icon(const QString& key);

    void setFallbackIcon(const QIcon& icon) { m_fallback = icon; }
    const QIcon& fallbackIcon() const { return m_fallback; }

private:
    struct IconSource {
        QString themeName;
        QString genericName;
        QString desktopFile; // a desktop entry's own Icon= wins
    };

    FileTypeInfo infoFor(const QString& mimeName, const QString& path, const QString& name);

    QMimeDatabase m_db;
    FileTypeGlobs m_globs;
    QHash<QString, QString> m_mimeBySuffix; // exact suffix -> MIME name, for names the suffix decides
    QHash<QString, FileTypeInfo> m_infoByMime;
    QHash<QString, int> m_unknownBySuffix; // unknown suffix -> files of it the content did not type either
    QHash<QString, IconSource> m_iconSources;
    QHash<QString, QIcon> m_icons;
    QIcon m_fallback;
};

} // namespace platform
