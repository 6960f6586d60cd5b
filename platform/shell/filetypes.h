#pragma once

// File type names for the result rows: the type name is the lower-cased description of the
// file's MIME type ("jpeg image"), each type looked up once. The icons themselves need
// Qt Gui and come from platform::FileTypeIcons, which asks here where each key's icon is.

#include "platform/shell/filetypesglobs.h"

#include <QHash>
#include <QMimeDatabase>
#include <QString>

namespace platform {

struct FileTypeInfo {
    QString typeName; // lower-cased description
    QString iconKey;  // the type name; for a desktop entry its file name (each has its own icon)
};

// Where the icon of a key comes from: the theme names of its MIME type and, for a desktop
// entry, the entry itself (its own Icon= wins).
struct FileTypeIconSource {
    QString themeName;
    QString genericName;
    QString desktopFile;
};

class FileTypes {
public:
    FileTypes();

    // The type of one file. The name decides; the content (read from `path`) only when the
    // name's suffix is unknown. An executable ELF file (exec bit set) is an "executable";
    // all executables share one icon. A suffix whose first files all turn out unknown by
    // content as well is not read again, so a folder of many such files stays quick.
    FileTypeInfo lookup(const QString& path, const QString& name, bool executable);

    // The icon source of a key that lookup answered; empty for any other key.
    FileTypeIconSource iconSource(const QString& key) const { return m_iconSources.value(key); }

private:
    FileTypeInfo infoFor(const QString& mimeName, const QString& path, const QString& name);

    QMimeDatabase m_db;
    FileTypeGlobs m_globs;
    QHash<QString, QString> m_mimeBySuffix; // exact suffix -> MIME name, for names the suffix decides
    QHash<QString, FileTypeInfo> m_infoByMime;
    QHash<QString, int> m_unknownBySuffix; // unknown suffix -> files of it the content did not type either
    QHash<QString, FileTypeIconSource> m_iconSources;
};

} // namespace platform
