#include "platform/fileio/filesystemsync.h"

#include "platform/fileio/atomicwriter.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

bool syncFileSystems(const QStringList& folders, int* errorNumber, QString* error) {
    QSet<dev_t> synced;
    for (const QString& folder : folders) {
        const QByteArray path = QFile::encodeName(folder);
        if (path.isEmpty() || path.contains('\0')) continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        bool ok = true;
        int err = 0;
        if (::fstat(fd, &st) == 0 && !synced.contains(st.st_dev)) {
            ok = ::syncfs(fd) == 0;
            err = errno;
            synced.insert(st.st_dev);
        }
        ::close(fd);
        if (!ok) {
            if (errorNumber) *errorNumber = runtimeErrorForErrno(err);
            if (error) *error = QStringLiteral("sync %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(err)));
            return false;
        }
    }
    return true;
}

} // namespace fileio
