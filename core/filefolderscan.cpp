#include "core/filefolderscan.h"

#include "core/modgeneral.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace FileFolderScan {

namespace {
bool hasWildcards(const QString& path) {
    return path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?'));
}
} // namespace

bool IsExistingFile(const QString& path) {
    if (path.trimmed().isEmpty() || hasWildcards(path))
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool IsExistingPath(QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (hasWildcards(path))
        return false;
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
