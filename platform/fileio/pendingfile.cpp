#include "platform/fileio/pendingfile.h"

#include "platform/fileio/hiddenname.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fileio {

namespace {

std::atomic<int> g_held{0};

// Errors of a file system that has no hard links: the replaced file then gets no second
// name and cannot come back once replaced.
bool noHardLinks(int err) { return err == EPERM || err == EOPNOTSUPP || err == EMLINK || err == ENOSYS; }

} // namespace

PendingFile::PendingFile(QString target, QByteArray targetPath, QByteArray folderPath, int fd, QByteArray hidden,
                         bool replace, bool sync)
    : m_target(std::move(target)), m_targetPath(std::move(targetPath)), m_folderPath(std::move(folderPath)), m_fd(fd),
      m_hidden(std::move(hidden)), m_replace(replace), m_sync(sync) {
    if (m_fd >= 0) ++g_held;
}

PendingFile::PendingFile(PendingFile&& other) noexcept { *this = std::move(other); }

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this == &other) return *this;
    discard();
    m_target = std::move(other.m_target);
    m_targetPath = std::move(other.m_targetPath);
    m_folderPath = std::move(other.m_folderPath);
    m_fd = std::exchange(other.m_fd, -1);
    m_hidden = std::exchange(other.m_hidden, QByteArray());
    m_backup = std::exchange(other.m_backup, QByteArray());
    m_identity = other.m_identity;
    m_replace = other.m_replace;
    m_sync = other.m_sync;
    m_existed = other.m_existed;
    m_placed = std::exchange(other.m_placed, false);
    return *this;
}

int PendingFile::descriptorsHeld() { return g_held; }

void PendingFile::closeDescriptor() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    --g_held;
}

int PendingFile::release(StagingFolder& staging) {
    if (m_fd < 0) return 0;
    QByteArray name = staging.newPath();
    // Named while the descriptor (and with it the lock of a hidden name) is still held.
    if (!m_hidden.isEmpty()) {
        if (::rename(m_hidden.constData(), name.constData()) != 0) return errno;
    } else if (const int err = nameUnnamedFile(m_fd, name)) {
        return err;
    }
    m_hidden = std::move(name);
    const int fd = std::exchange(m_fd, -1);
    --g_held;
    // Closing is where some file systems report a failed write.
    return ::close(fd) == 0 ? 0 : errno;
}

int PendingFile::prepare(StagingFolder& staging) {
    struct stat own {};
    if ((m_fd >= 0 ? ::fstat(m_fd, &own) : ::stat(m_hidden.constData(), &own)) != 0) return errno;
    m_identity = identityOf(own);
    struct stat st {};
    if (::lstat(m_targetPath.constData(), &st) != 0) {
        if (errno != ENOENT) return errno;
        m_existed = false; // an unnamed file is linked straight to its target
        return 0;
    }
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!m_replace) return EEXIST;
    m_existed = true;
    if (m_backup.isEmpty()) {
        QByteArray backup = staging.newPath();
        // link() takes a link at the target as it is, never what it leads to.
        if (::link(m_targetPath.constData(), backup.constData()) == 0)
            m_backup = std::move(backup);
        else if (!noHardLinks(errno))
            return errno;
    }
    if (m_hidden.isEmpty()) {
        QByteArray name = staging.newPath();
        if (const int err = nameUnnamedFile(m_fd, name)) return err;
        m_hidden = std::move(name);
    }
    return 0;
}

StagingFolder::Entry PendingFile::recordEntry() const {
    StagingFolder::Entry entry;
    entry.targetName = m_targetPath.mid(m_targetPath.lastIndexOf('/') + 1);
    entry.backupPath = m_backup;
    entry.existed = m_existed;
    entry.placed = m_identity;
    return entry;
}

int PendingFile::place() {
    if (!m_hidden.isEmpty()) {
        // A target that was free takes the file only while it still is.
        if (const int err = moveIntoPlace(m_hidden, m_targetPath, m_existed)) return err;
        m_hidden.clear();
    } else {
        // Fails when something took the free target since prepare(): it is left alone.
        if (const int err = nameUnnamedFile(m_fd, m_targetPath)) return err;
    }
    m_placed = true;
    return 0;
}

bool PendingFile::restore() {
    if (!m_placed) return true;
    if (!m_existed) {
        if (::unlink(m_targetPath.constData()) != 0 && errno != ENOENT) return false;
    } else if (m_backup.isEmpty() || ::rename(m_backup.constData(), m_targetPath.constData()) != 0) {
        // No way back now: the new file stays rather than none, and a replaced file that
        // could not return keeps its second name (discard() leaves it).
        return false;
    }
    m_backup.clear();
    m_placed = false;
    return true;
}

void PendingFile::settle() {
    if (!m_backup.isEmpty()) ::unlink(m_backup.constData());
    m_backup.clear();
    closeDescriptor();
    if (m_sync && m_placed) {
        const int dir = ::open(m_folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    m_placed = false;
}

void PendingFile::discard() {
    if (!m_hidden.isEmpty()) ::unlink(m_hidden.constData());
    m_hidden.clear();
    closeDescriptor();
    // A placed file that could not be taken back: its replaced file's second name is all
    // that is left of that file, so it stays.
    if (!m_placed && !m_backup.isEmpty()) ::unlink(m_backup.constData());
    m_backup.clear();
}

} // namespace fileio
