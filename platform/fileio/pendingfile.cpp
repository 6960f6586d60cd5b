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

int PendingFile::release() {
    if (m_fd < 0) return 0;
    if (m_hidden.isEmpty()) {
        int err = 0;
        m_hidden = linkUnderHiddenName(m_fd, QByteArray(), m_folderPath, err);
        if (m_hidden.isEmpty()) return err;
    }
    closeDescriptor();
    return 0;
}

int PendingFile::prepare() {
    struct stat st {};
    if (::lstat(m_targetPath.constData(), &st) != 0) {
        if (errno != ENOENT) return errno;
        m_existed = false; // an unnamed file is linked straight to its target
        return 0;
    }
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!m_replace) return EEXIST;
    m_existed = true;
    int err = 0;
    if (m_backup.isEmpty()) {
        m_backup = linkUnderHiddenName(-1, m_targetPath, m_folderPath, err);
        if (m_backup.isEmpty() && !noHardLinks(err)) return err;
    }
    if (m_hidden.isEmpty()) {
        m_hidden = linkUnderHiddenName(m_fd, QByteArray(), m_folderPath, err);
        if (m_hidden.isEmpty()) return err;
    }
    return 0;
}

int PendingFile::place() {
    if (!m_hidden.isEmpty()) {
        if (::rename(m_hidden.constData(), m_targetPath.constData()) != 0) return errno;
        m_hidden.clear();
    } else {
        // Fails when something took the free target since prepare(): it is left alone.
        if (const int err = nameUnnamedFile(m_fd, m_targetPath)) return err;
    }
    m_placed = true;
    return 0;
}

void PendingFile::restore() {
    if (!m_placed) return;
    if (!m_existed) {
        ::unlink(m_targetPath.constData());
    } else if (m_backup.isEmpty() || ::rename(m_backup.constData(), m_targetPath.constData()) != 0) {
        // No way back: the new file stays rather than none, and a replaced file that could
        // not return keeps its hidden name (discard() leaves it).
        return;
    }
    m_backup.clear();
    m_placed = false;
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
    closeDescriptor();
    if (!m_hidden.isEmpty()) ::unlink(m_hidden.constData());
    m_hidden.clear();
    // A placed file that could not be taken back: its replaced file's hidden name is all
    // that is left of that file, so it stays.
    if (!m_placed && !m_backup.isEmpty()) ::unlink(m_backup.constData());
    m_backup.clear();
}

} // namespace fileio
