#include "platform/fileio/renamenoreplace.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

namespace {

std::atomic<bool> g_noReplaceAllowed{true};

RenameOutcome failure(int err, int* systemError) {
    if (err == EEXIST || err == ENOTEMPTY) return RenameOutcome::TargetExists;
    if (systemError) *systemError = err;
    return RenameOutcome::Failed;
}

// link() then unlink(): the target name is taken atomically or not at all.
RenameOutcome linkThenUnlink(const QByteArray& from, const QByteArray& to, int* systemError) {
    if (::link(from.constData(), to.constData()) != 0) return failure(errno, systemError);
    if (::unlink(from.constData()) != 0) {
        const int err = errno;
        // Leave the file under its old name alone, as it was.
        ::unlink(to.constData());
        return failure(err, systemError);
    }
    return RenameOutcome::Renamed;
}

} // namespace

RenameOutcome renameNoReplace(const QString& source, const QString& target, int* systemError) {
    if (systemError) *systemError = 0;
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    // A name with a NUL in it would reach the kernel cut short: another file.
    if (from.contains('\0') || to.contains('\0')) return failure(EINVAL, systemError);
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0)
        return errno == ENOENT ? RenameOutcome::SourceMissing : failure(errno, systemError);

    if (g_noReplaceAllowed.load()) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return RenameOutcome::Renamed;
        const int err = errno;
        if (err == ENOENT && ::lstat(from.constData(), &st) != 0) return RenameOutcome::SourceMissing;
        // EINVAL/ENOSYS: the file system (some network and FUSE ones) cannot refuse to replace.
        if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) return failure(err, systemError);
    }
    // A folder cannot be hard-linked; a folder at the source is no file to rename here.
    if (S_ISDIR(st.st_mode)) return failure(EISDIR, systemError);
    const RenameOutcome outcome = linkThenUnlink(from, to, systemError);
    if (outcome == RenameOutcome::Failed && ::lstat(from.constData(), &st) != 0 && errno == ENOENT)
        return RenameOutcome::SourceMissing;
    return outcome;
}

bool entryExists(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    return !name.isEmpty() && !name.contains('\0') && ::lstat(name.constData(), &st) == 0;
}

bool fileExists(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    return !name.isEmpty() && !name.contains('\0') && ::stat(name.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void setNoReplaceRenameAllowed(bool allowed) { g_noReplaceAllowed = allowed; }

} // namespace fileio
