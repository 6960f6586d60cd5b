#include "platform/imaging/formats/sourcefile.h"

#include "platform/fileio/filenames.h"
#include "platform/imaging/formats/raster.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

QString systemError(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

int openError(const QString& path, const QString& why, QString& error) {
    error = QStringLiteral("cannot open %1: %2").arg(path, why);
    return ApCannotRead;
}

} // namespace

int openSourceDescriptor(const QString& path, int& fd, QString& error) {
    fd = -1;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int opened = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (opened < 0)
        return openError(path, fileio::failureReason(path, errno), error);
    struct stat st {};
    if (::fstat(opened, &st) != 0) {
        const int err = errno;
        ::close(opened);
        return openError(path, systemError(err), error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(opened);
        return openError(path, QStringLiteral("not a regular file"), error);
    }
    // Regular files never block; reads must not see EAGAIN from a flag meant for the open.
    const int flags = ::fcntl(opened, F_GETFL);
    if (flags >= 0)
        ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
    fd = opened;
    return ApOk;
}

int openSourceFile(QFile& file, const QString& path, QString& error) {
    int fd = -1;
    if (const int rc = openSourceDescriptor(path, fd, error); rc != ApOk)
        return rc;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return openError(path, file.errorString(), error);
    }
    return ApOk;
}

int checkSourceFile(const QString& path, QString& error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return openError(path, fileio::failureReason(path, errno), error);
    if (!S_ISREG(st.st_mode))
        return openError(path, QStringLiteral("not a regular file"), error);
    return ApOk;
}

int readWholeFile(QFile& file, QByteArray& bytes, QString& error) {
    const qint64 size = file.size();
    if (size > kMaxDecodedBytes) {
        error = QStringLiteral("a file of %1 bytes is over the limits").arg(size);
        return ApOverLimits;
    }
    bytes.resize(qsizetype(size));
    // A short read (a file cut or failing under us) must not pass for a shorter image.
    if (!file.seek(0) || file.read(bytes.data(), size) != size) {
        bytes.clear();
        error = QStringLiteral("cannot read the file in full");
        return ApCannotRead;
    }
    return ApOk;
}

int readWholeFile(const QString& path, QByteArray& bytes, QString& error) {
    QFile file;
    int rc = openSourceFile(file, path, error);
    if (rc == ApOk && (rc = readWholeFile(file, bytes, error)) != ApOk)
        error = QStringLiteral("%1: %2").arg(path, error);
    return rc;
}

int readWholeFile(const QString& path, std::vector<uint8_t>& bytes, QString& error) {
    QFile file;
    if (const int rc = openSourceFile(file, path, error); rc != ApOk)
        return rc;
    const qint64 size = file.size();
    if (size > kMaxDecodedBytes) {
        error = QStringLiteral("%1 is over the limits").arg(path);
        return ApOverLimits;
    }
    bytes.resize(size_t(size));
    if (file.read(reinterpret_cast<char*>(bytes.data()), size) != size) {
        bytes.clear();
        error = QStringLiteral("cannot read %1").arg(path);
        return ApCannotRead;
    }
    return ApOk;
}

ScopedDescriptor::~ScopedDescriptor() {
    if (fd >= 0)
        ::close(fd);
}

bool readFully(int fd, uint8_t* into, size_t size, int64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, into + done, size - done, off_t(offset + int64_t(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

QByteArray readFileRange(QFile& file, int64_t offset, int64_t length) {
    const int64_t size = file.size();
    if (offset < 0 || length <= 0 || offset >= size || !file.seek(offset))
        return QByteArray();
    return file.read(std::min(length, size - offset));
}

} // namespace imaging
