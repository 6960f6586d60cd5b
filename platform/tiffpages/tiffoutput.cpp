#include "platform/tiffpages/tiffoutput.h"

#include <QFile>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tiffpages {

TiffOutput::TiffOutput(const QString& target) : m_file(target) {}

TiffOutput::~TiffOutput() { closeTiff(); }

void TiffOutput::closeTiff() {
    if (m_tiff) {
        TIFFClose(m_tiff); // our close procedure leaves the descriptor to the writer
        m_tiff = nullptr;
    }
}

tmsize_t TiffOutput::readProc(thandle_t h, void* buf, tmsize_t size) {
    auto* self = static_cast<TiffOutput*>(h);
    ssize_t n;
    do n = ::read(self->m_fd, buf, size_t(size));
    while (n < 0 && errno == EINTR);
    return n;
}

tmsize_t TiffOutput::writeProc(thandle_t h, void* buf, tmsize_t size) {
    auto* self = static_cast<TiffOutput*>(h);
    const char* p = static_cast<const char*>(buf);
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(self->m_fd, p + done, size_t(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!self->m_errno) self->m_errno = n < 0 ? errno : ENOSPC;
            return -1;
        }
        done += n;
    }
    return done;
}

toff_t TiffOutput::seekProc(thandle_t h, toff_t offset, int whence) {
    auto* self = static_cast<TiffOutput*>(h);
    const off_t r = ::lseek(self->m_fd, off_t(offset), whence);
    return r < 0 ? toff_t(-1) : toff_t(r);
}

int TiffOutput::closeProc(thandle_t) { return 0; }

toff_t TiffOutput::sizeProc(thandle_t h) {
    struct stat st;
    return ::fstat(static_cast<TiffOutput*>(h)->m_fd, &st) == 0 ? toff_t(st.st_size) : 0;
}

namespace {
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }
} // namespace

int TiffOutput::onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* self = static_cast<TiffOutput*>(user);
    if (self->m_error.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        self->m_error = module && *module ? QStringLiteral("%1: %2").arg(QString::fromUtf8(module), QString::fromUtf8(text))
                                          : QString::fromUtf8(text);
    }
    return 1;
}

bool TiffOutput::open(bool bigTiff, fileio::Failure& failure) {
    if (!m_file.open()) return failure.set(m_file.failure());
    m_fd = m_file.descriptor();
    if (m_fd < 0) return failure.set(m_file.failure());
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, &TiffOutput::onError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, &quiet, this);
    const QByteArray name = QFile::encodeName(m_file.target());
    m_tiff = TIFFClientOpenExt(name.constData(), bigTiff ? "w8m" : "wm", this, readProc, writeProc, seekProc,
                               closeProc, sizeProc, mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
    if (!m_tiff) return fail(failure, QStringLiteral("cannot create"));
    return true;
}

bool TiffOutput::fail(fileio::Failure& failure, const QString& what) {
    if (m_errno)
        return failure.set(fileio::runtimeErrorForErrno(m_errno),
                           QStringLiteral("%1 %2: %3")
                               .arg(what, m_file.target(), QString::fromLocal8Bit(std::strerror(m_errno))));
    return failure.set(75, QStringLiteral("%1 %2: %3").arg(what, m_file.target(), m_error));
}

bool TiffOutput::writeDirectory(fileio::Failure& failure) {
    if (!TIFFWriteDirectory(m_tiff) || m_errno) return fail(failure, QStringLiteral("cannot write"));
    return true;
}

bool TiffOutput::commit(fileio::Failure& failure, fileio::OutputSet* outputs) {
    if (!m_tiff) return failure.set(75, QStringLiteral("cannot write %1").arg(m_file.target()));
    const bool flushed = TIFFFlush(m_tiff) == 1;
    closeTiff();
    if (!flushed || m_errno) {
        m_file.cancel();
        return fail(failure, QStringLiteral("cannot write"));
    }
    return fileio::commitOrStage(m_file, outputs, failure);
}

} // namespace tiffpages
