#include "platform/imaging/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {
constexpr size_t kBufferSize = 256 * 1024;
}

AtomicFile::AtomicFile(QString target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile() {
    cancel();
}

bool AtomicFile::fail(const char* what) {
    m_error = QStringLiteral("%1 %2: %3")
                  .arg(QString::fromLatin1(what), m_temp.isEmpty() ? m_target : m_temp,
                       QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool AtomicFile::open() {
    const QFileInfo info(m_target);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temp =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        // 0666 less the umask, as for any new file; a replaced file keeps its own mode.
        m_fd = ::open(QFile::encodeName(m_temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) break;
    }
    if (m_fd < 0) {
        const bool ok = fail("cannot create");
        m_temp.clear();
        return ok;
    }
    struct stat existing;
    if (::stat(QFile::encodeName(m_target).constData(), &existing) == 0)
        ::fchmod(m_fd, existing.st_mode & 07777);
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicFile::flushBuffer() {
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("cannot write");
        done += size_t(n);
    }
    m_buffer.clear();
    return true;
}

bool AtomicFile::write(const void* data, size_t size) {
    if (m_fd < 0) return false;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer()) return false;
    if (size >= kBufferSize) {
        m_buffer.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        return flushBuffer();
    }
    m_buffer.insert(m_buffer.end(), static_cast<const char*>(data), static_cast<const char*>(data) + size);
    return true;
}

bool AtomicFile::commit() {
    if (m_fd < 0 || !flushBuffer()) return false;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) return fail("cannot close");
    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail("cannot rename");
    m_temp.clear();
    return true;
}

void AtomicFile::cancel() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(QFile::encodeName(m_temp).constData());
        m_temp.clear();
    }
}

} // namespace imaging
