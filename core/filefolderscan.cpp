#include "core/filefolderscan.h"

#include "core/modgeneral.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace FileFolderScan {

// "*" and "?" are ordinary characters of a name here, so a path is tested as it stands:
// treating them as wildcards would make an existing file look absent and let a caller
// that must not replace it write over it.
bool IsExistingFile(const QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool IsExistingPath(QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return QFileInfo::exists(path);
}

bool DeleteExistingFile(const QString& path) {
    if (!IsExistingFile(path))
        return false;
    return QFile::remove(path);
}

bool MakeDirectoryPath(const QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    const QString folder = modGeneral::ValidateDir(path);
    return QDir().mkpath(folder) && QFileInfo(folder).isDir();
}

bool CreatePath(const QString& path) { return MakeDirectoryPath(path); }

} // namespace FileFolderScan
