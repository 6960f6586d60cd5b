#include "platform/fileio/atomicwriter.h"

#include "platform/fileio/filenames.h"
#include "platform/fileio/hiddenname.h"
#include "platform/fileio/pendingfile.h"
#include "platform/fileio/strayfiles.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fileio {

namespace {

constexpr size_t kBufferSize = 256 * 1024;

std::atomic<bool> g_unnamedAllowed{true};

mode_t processUmask() {
    // Read once: umask() can only be read by setting it.
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

bool unsupportedTmpfile(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

} // namespace

int runtimeErrorForErrno(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return 61;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return 70;
    case ENOENT:
    case ENOTDIR:
        return 76;
    case EEXIST:
        return 58;
    case EIO:
        return 57;
    default:
        return 75;
    }
}

void AtomicWriter::setUnnamedTemporaryFilesAllowed(bool allowed) { g_unnamedAllowed = allowed; }

AtomicWriter::AtomicWriter(QString target, Mode mode) : m_target(std::move(target)), m_mode(mode) {}

AtomicWriter::~AtomicWriter() { cancel(); }

bool AtomicWriter::fail(const char* what, int err) {
    m_systemError = err;
    m_errorNumber = runtimeErrorForErrno(err);
    m_error = QStringLiteral("%1 %2: %3").arg(QString::fromLatin1(what), m_target, failureReason(m_target, err));
    return false;
}

bool AtomicWriter::open() {
    cancel();
    m_errorNumber = m_systemError = 0;
    m_error.clear();
    m_written = 0;
    m_descriptorLent = false;
    const QFileInfo info(m_target);
    if (m_target.isEmpty() || m_target.endsWith(QLatin1Char('/')) || info.fileName().isEmpty())
        return fail("cannot create", ENOENT);
    m_targetPath = QFile::encodeName(info.absoluteFilePath());
    m_folderPath = QFile::encodeName(info.absolutePath());

    // What a killed writer left here goes first (once per folder and process).
    sweepFolderOnce(m_folderPath);
    m_unnamed = false;
    // Unnamed files are linked through /proc; without it (a bare chroot) use names.
    if (g_unnamedAllowed && canNameUnnamedFiles()) {
        m_fd = ::open(m_folderPath.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_unnamed = true;
        else if (!unsupportedTmpfile(errno))
            return fail("cannot create", errno);
    }
    if (m_fd < 0 && !openNamed()) return false;
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicWriter::openNamed() {
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tempPath = hiddenNameIn(m_folderPath);
        m_fd = ::open(m_tempPath.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666 & ~processUmask());
        if (m_fd < 0) {
            err = errno;
            if (err != EEXIST) break;
            continue;
        }
        // Locked while ours, so that another writer's sweep leaves it alone; one that took
        // it between the create and the lock removes it, and another name is tried.
        err = lockHiddenEntry(m_fd, m_tempPath);
        if (err != 0 && !locksUnsupported(err)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    if (m_fd < 0) {
        m_tempPath.clear();
        return fail("cannot create", err);
    }
    return true;
}

bool AtomicWriter::flushBuffer() {
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail("cannot write", errno);
        if (n == 0) return fail("cannot write", ENOSPC);
        done += size_t(n);
        m_written += n;
    }
    m_buffer.clear();
    return true;
}

bool AtomicWriter::write(const void* data, size_t size) {
    if (m_fd < 0) return false;
    if (m_errorNumber) return false; // a failed file stays failed
    const char* p = static_cast<const char*>(data);
    if (m_buffer.size() + size > kBufferSize && !flushBuffer()) return false;
    if (size >= kBufferSize) {
        // Large blocks go straight to the file.
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(m_fd, p + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return fail("cannot write", errno);
            if (n == 0) return fail("cannot write", ENOSPC);
            done += size_t(n);
            m_written += n;
        }
        return true;
    }
    m_buffer.insert(m_buffer.end(), p, p + size);
    return true;
}

qint64 AtomicWriter::copyFrom(int fd, qint64 offset, qint64 length) {
    if (m_fd < 0 || m_errorNumber || !flushBuffer()) return -1;
    qint64 done = 0;
    bool inKernel = true;
    std::vector<char> piece;
    while (done < length) {
        const size_t want = size_t(std::min<qint64>(length - done, qint64(1) << 30));
        ssize_t n = -1;
        if (inKernel) {
            off_t from = off_t(offset + done);
            n = ::sendfile(m_fd, fd, &from, want);
            if (n < 0 && (errno == EINVAL || errno == ENOSYS)) {
                inKernel = false; // a source sendfile cannot read: through our memory instead
                continue;
            }
        } else {
            piece.resize(std::min(want, kBufferSize));
            n = ::pread(fd, piece.data(), piece.size(), off_t(offset + done));
            if (n < 0 && errno != EINTR) break; // the source failed: the caller sees a short copy
            if (n > 0 && !write(piece.data(), size_t(n))) return -1;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            fail("cannot write", errno);
            return -1;
        }
        if (n == 0) break; // the source ended early
        done += n;
        if (inKernel) m_written += n;
    }
    if (!inKernel && !flushBuffer()) return -1;
    return done;
}

int AtomicWriter::descriptor() {
    if (m_fd < 0 || !flushBuffer()) return -1;
    m_descriptorLent = true;
    return m_fd;
}

bool AtomicWriter::finish() {
    if (m_fd < 0) {
        if (!m_errorNumber) fail("cannot write", EBADF);
        return false;
    }
    if (m_errorNumber || !flushBuffer()) {
        cancel();
        return false;
    }
    // A replaced file keeps its own permissions; a new one gets 0666 less the umask. Set
    // only now: until its last write the file stays one its owner can open.
    struct stat existing {};
    if (::stat(m_targetPath.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(m_fd, existing.st_mode & 07777);
    else if (m_unnamed)
        ::fchmod(m_fd, 0666 & ~processUmask());
    // What reached the file must be all that was written (a descriptor handed out may
    // have been used for more, so only our own writes are checked).
    struct stat st;
    if (::fstat(m_fd, &st) != 0) {
        const int err = errno;
        cancel();
        return fail("cannot write", err);
    }
    if (!m_descriptorLent && st.st_size != m_written) {
        cancel();
        return fail("cannot write", EIO);
    }
    if (m_sync && ::fsync(m_fd) != 0) {
        const int err = errno;
        cancel();
        return fail("cannot write", err);
    }
    return true;
}

bool AtomicWriter::commit() {
    if (!finish()) return false;
    const bool placed = m_unnamed ? placeUnnamed() : placeNamed();
    if (!placed) {
        cancel();
        return false;
    }
    if (m_sync) syncFolder();
    return true;
}

bool AtomicWriter::stageInto(PendingFile& pending) {
    if (!finish()) return false;
    // A named file keeps its descriptor, and with it its lock, until OutputSet has moved it
    // into the call's staging folder.
    const int fd = std::exchange(m_fd, -1);
    pending = PendingFile(m_target, m_targetPath, m_folderPath, fd, m_tempPath, m_mode == Mode::Replace, m_sync);
    m_tempPath.clear();
    std::vector<char>().swap(m_buffer); // many files may be pending: none keeps a buffer
    return true;
}

bool AtomicWriter::placeUnnamed() {
    const int linked = nameUnnamedFile(m_fd, m_targetPath);
    if (linked == 0) {
        ::close(m_fd);
        m_fd = -1;
        return true;
    }
    if (linked != EEXIST || m_mode == Mode::NoReplace) return fail("cannot create", linked);
    // The target exists: give the file a short name beside it, then rename over it, which
    // replaces the target in one step. Locked first, so that the name is never one another
    // writer's sweep could take for a killed writer's.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    int err = 0;
    m_tempPath = linkUnderHiddenName(m_fd, m_folderPath, err);
    if (m_tempPath.isEmpty()) return fail("cannot create", err);
    if (::rename(m_tempPath.constData(), m_targetPath.constData()) != 0) return fail("cannot replace", errno);
    m_tempPath.clear();
    ::close(m_fd);
    m_fd = -1;
    return true;
}

bool AtomicWriter::placeNamed() {
    // Closing is where some file systems report a failed write; a second descriptor keeps
    // the lock of the hidden name until the file is in place.
    const int lock = ::dup(m_fd);
    const int fd = std::exchange(m_fd, lock);
    if (::close(fd) != 0) return fail("cannot write", errno);
    if (const int err = moveIntoPlace(m_tempPath, m_targetPath, m_mode == Mode::Replace))
        return fail(m_mode == Mode::Replace ? "cannot replace" : "cannot create", err);
    m_tempPath.clear();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    return true;
}

bool AtomicWriter::syncFolder() {
    const int dir = ::open(m_folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const bool ok = ::fsync(dir) == 0;
    ::close(dir);
    return ok;
}

void AtomicWriter::cancel() {
    if (!m_tempPath.isEmpty()) {
        ::unlink(m_tempPath.constData());
        m_tempPath.clear();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.clear();
}

bool writeFileAtomically(const QString& target, QByteArrayView bytes, bool sync, int* errorNumber, QString* errorText,
                         AtomicWriter::Mode mode) {
    AtomicWriter writer(target, mode);
    writer.setSync(sync);
    const bool ok = writer.open() && writer.write(bytes) && writer.commit();
    if (!ok) {
        if (errorNumber) *errorNumber = writer.errorNumber();
        if (errorText) *errorText = writer.errorString();
    }
    return ok;
}

} // namespace fileio
