#include "platform/fileio/hiddenname.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace fileio {

QByteArray hiddenNameIn(const QByteArray& folder) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = folder + "/.qm-";
    for (int i = 0; i < 8; ++i)
        name += alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))];
    return name + ".tmp";
}

bool canNameUnnamedFiles() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

int nameUnnamedFile(int fd, const QByteArray& path) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

QByteArray linkUnderHiddenName(int fd, const QByteArray& path, const QByteArray& folder, int& err) {
    err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        QByteArray name = hiddenNameIn(folder);
        err = fd >= 0 ? nameUnnamedFile(fd, name)
                      : (::linkat(AT_FDCWD, path.constData(), AT_FDCWD, name.constData(), 0) == 0 ? 0 : errno);
        if (err == 0) return name;
    }
    return QByteArray();
}

} // namespace fileio
