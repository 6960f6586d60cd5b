#include "platform/fileio/hiddenname.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fileio {

namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kRandomLength = 8;

} // namespace

QByteArray hiddenNameIn(const QByteArray& folder, HiddenKind kind) {
    QByteArray name = folder + "/.qm-";
    for (int i = 0; i < kRandomLength; ++i)
        name += kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet - 1))];
    return name + (kind == HiddenKind::Staging ? ".set" : ".tmp");
}

HiddenKind hiddenKindOf(const char* name) {
    // Exactly our own pattern: a user's ".qm-notes.tmp" is none of ours.
    constexpr size_t prefix = 4, length = prefix + kRandomLength + 4;
    if (std::strlen(name) != length || std::strncmp(name, ".qm-", prefix) != 0) return HiddenKind::None;
    for (size_t i = prefix; i < prefix + kRandomLength; ++i)
        if (!std::strchr(kAlphabet, name[i])) return HiddenKind::None;
    const char* suffix = name + prefix + kRandomLength;
    if (std::strcmp(suffix, ".tmp") == 0) return HiddenKind::File;
    if (std::strcmp(suffix, ".set") == 0) return HiddenKind::Staging;
    return HiddenKind::None;
}

bool canNameUnnamedFiles() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

int nameUnnamedFile(int fd, const QByteArray& path) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int moveIntoPlace(const QByteArray& from, const QByteArray& to, bool replace) {
    if (replace) return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    if (::link(from.constData(), to.constData()) != 0) return errno;
    ::unlink(from.constData());
    return 0;
}

QByteArray linkUnderHiddenName(int fd, const QByteArray& folder, int& err) {
    err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        QByteArray name = hiddenNameIn(folder);
        err = nameUnnamedFile(fd, name);
        if (err == 0) return name;
    }
    return QByteArray();
}

} // namespace fileio
