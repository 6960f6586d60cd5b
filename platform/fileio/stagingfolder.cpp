#include "platform/fileio/stagingfolder.h"

#include "platform/fileio/hiddenname.h"
#include "platform/fileio/strayfiles.h"

#include <QList>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

namespace {

constexpr char kRecord[] = "record";
constexpr char kRecordHeader[] = "quillmere staging 1";
constexpr char kRecordEnd[] = "end";

int writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        done += n;
    }
    return 0;
}

QByteArray baseName(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// Removes every file the staging folder open as `dir` holds.
void removeContents(int dir) {
    const int listing = ::dup(dir);
    if (listing < 0) return;
    DIR* stream = ::fdopendir(listing);
    if (!stream) {
        ::close(listing);
        return;
    }
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(stream))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    ::closedir(stream);
    for (const QByteArray& name : names)
        ::unlinkat(dir, name.constData(), 0);
}

void removeFolder(int dir, const QByteArray& path) {
    if (::rmdir(path.constData()) == 0 || errno != ENOTEMPTY) return;
    removeContents(dir);
    ::rmdir(path.constData());
}

QByteArray serialize(const std::vector<StagingFolder::Entry>& entries) {
    QByteArray out = QByteArray(kRecordHeader) + '\n';
    out.reserve(qsizetype(entries.size()) * 96 + 32);
    for (const StagingFolder::Entry& e : entries) {
        const QByteArray backup = e.backupPath.isEmpty() ? QByteArray("-") : baseName(e.backupPath);
        out += QByteArray::number(int(e.existed)) + ' ' + backup + ' ' + QByteArray::number(quint64(e.placed.device)) +
               ' ' + QByteArray::number(quint64(e.placed.inode)) + ' ' + QByteArray::number(qint64(e.placed.size)) +
               ' ' + QByteArray::number(e.placed.modifiedSeconds) + ' ' +
               QByteArray::number(qint64(e.placed.modifiedNanoseconds)) + ' ' + e.targetName.toHex() + '\n';
    }
    return out + kRecordEnd + '\n';
}

// The record's entries; false when there is none or it is incomplete (then nothing was
// placed: the record is complete before the first file is).
bool parse(const QByteArray& bytes, std::vector<StagingFolder::Entry>& entries) {
    const QList<QByteArray> lines = bytes.split('\n');
    // The text ends with a newline: the last piece is empty.
    if (lines.size() < 3 || lines.front() != kRecordHeader || lines.at(lines.size() - 2) != kRecordEnd ||
        !lines.back().isEmpty())
        return false;
    for (qsizetype i = 1; i < lines.size() - 2; ++i) {
        const QList<QByteArray> f = lines.at(i).split(' ');
        if (f.size() != 8) return false;
        StagingFolder::Entry e;
        e.existed = f[0] == "1";
        if (f[1] != "-") e.backupPath = f[1];
        e.placed.device = dev_t(f[2].toULongLong());
        e.placed.inode = ino_t(f[3].toULongLong());
        e.placed.size = off_t(f[4].toLongLong());
        e.placed.modifiedSeconds = f[5].toLongLong();
        e.placed.modifiedNanoseconds = long(f[6].toLongLong());
        e.targetName = QByteArray::fromHex(f[7]);
        if (e.targetName.isEmpty() || e.targetName.contains('/') || e.backupPath.contains('/')) return false;
        entries.push_back(std::move(e));
    }
    return true;
}

QByteArray readRecord(int dir) {
    const int fd = ::openat(dir, kRecord, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return QByteArray();
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return bytes;
}

// Takes one target of a call that did not finish back to what it held before.
void takeBack(const StagingFolder::Entry& e, int dir, const QByteArray& folder) {
    const QByteArray target = folder + '/' + e.targetName;
    struct stat st {};
    const bool present = ::lstat(target.constData(), &st) == 0;
    const bool holdsPlaced = present && identityOf(st) == e.placed;
    if (!e.existed) {
        if (holdsPlaced) ::unlink(target.constData());
        return;
    }
    if (e.backupPath.isEmpty() || ::fstatat(dir, e.backupPath.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (holdsPlaced)
        ::renameat(dir, e.backupPath.constData(), AT_FDCWD, target.constData());
    else if (!present) // the old file rather than none; a link never replaces what came since
        ::linkat(dir, e.backupPath.constData(), AT_FDCWD, target.constData(), 0);
    // Otherwise the target holds its old file still, or one put there since: the second
    // name goes with the folder.
}

} // namespace

FileIdentity identityOf(const struct stat& st) {
    return FileIdentity{st.st_dev, st.st_ino, st.st_size, (long long)st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

std::unique_ptr<StagingFolder> StagingFolder::create(const QByteArray& folder, int& err) {
    err = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray path = hiddenNameIn(folder, HiddenKind::Staging);
        if (::mkdir(path.constData(), 0700) != 0) {
            err = errno;
            if (err == EEXIST) continue;
            return nullptr;
        }
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            err = errno;
            if (err == ENOENT) continue; // a sweep took it before we could lock it
            ::rmdir(path.constData());
            return nullptr;
        }
        const int locked = lockHiddenEntry(fd, path);
        if (locked == 0 || locksUnsupported(locked)) return std::unique_ptr<StagingFolder>(new StagingFolder(folder, path, fd));
        // A sweep holds it, or has removed it: it is the sweep's to remove.
        ::close(fd);
        err = locked;
    }
    return nullptr;
}

StagingFolder::StagingFolder(QByteArray folder, QByteArray path, int fd)
    : m_folder(std::move(folder)), m_path(std::move(path)), m_fd(fd) {}

StagingFolder::~StagingFolder() {
    if (!m_keep) removeFolder(m_fd, m_path);
    ::close(m_fd);
}

QByteArray StagingFolder::newPath() { return m_path + '/' + QByteArray::number(++m_counter); }

int StagingFolder::writeRecord(const std::vector<Entry>& entries, bool sync) {
    const int fd = ::openat(m_fd, kRecord, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    int err = writeAll(fd, serialize(entries));
    if (!err && sync && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && sync && ::fsync(m_fd) != 0) err = errno;
    if (err) ::unlinkat(m_fd, kRecord, 0);
    return err;
}

void StagingFolder::dropRecord() { ::unlinkat(m_fd, kRecord, 0); }

void recoverStagingFolder(const QByteArray& path, const QByteArray& folder) {
    const int dir = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return;
    if (lockHiddenEntry(dir, path) == 0) {
        std::vector<StagingFolder::Entry> entries;
        if (parse(readRecord(dir), entries)) {
            for (const StagingFolder::Entry& e : entries)
                takeBack(e, dir, folder);
            ::unlinkat(dir, kRecord, 0);
        }
        removeFolder(dir, path);
    }
    ::close(dir);
}

} // namespace fileio
