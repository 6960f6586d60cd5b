#include "platform/imaging/formats/tiffhandle.h"

#include "platform/imaging/formats/raster.h"
#include "platform/imaging/formats/sourcefile.h"

#include <QFile>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace imaging {

namespace {

tmsize_t memRead(thandle_t h, void* buf, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    if (m->position >= m->bytes.size() || size <= 0) return 0;
    const size_t n = std::min<size_t>(size_t(size), m->bytes.size() - size_t(m->position));
    std::memcpy(buf, m->bytes.data() + m->position, n);
    m->position += n;
    return tmsize_t(n);
}

tmsize_t memWrite(thandle_t h, void* buf, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    if (size <= 0) return 0;
    const size_t end = size_t(m->position) + size_t(size);
    if (end > m->bytes.size()) {
        if (m->bytes.capacity() < end) m->bytes.reserve(std::max(end, m->bytes.capacity() * 2));
        m->bytes.resize(end);
    }
    std::memcpy(m->bytes.data() + m->position, buf, size_t(size));
    m->position = end;
    return size;
}

toff_t memSeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<TiffMemory*>(h);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = m->position;
    else if (whence == SEEK_END)
        base = m->bytes.size();
    m->position = base + offset;
    return m->position;
}

int memClose(thandle_t) {
    return 0;
}
toff_t memSize(thandle_t h) {
    return static_cast<TiffMemory*>(h)->bytes.size();
}
int memMap(thandle_t, void**, toff_t*) {
    return 0;
}
void memUnmap(thandle_t, void*, toff_t) {}

} // namespace

TiffHandle::~TiffHandle() {
    close();
}

int TiffHandle::onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* self = static_cast<TiffHandle*>(user);
    if (self->m_error.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        self->m_error = module && *module
                            ? QStringLiteral("%1: %2").arg(QString::fromUtf8(module), QString::fromUtf8(text))
                            : QString::fromUtf8(text);
    }
    return 1; // handled: nothing reaches stderr
}

int TiffHandle::onWarning(TIFF*, void* user, const char*, const char* fmt, va_list) {
    if (fmt && std::strncmp(fmt, "Premature EOF", 13) == 0)
        static_cast<TiffHandle*>(user)->m_dataEndedEarly = true;
    return 1;
}

TIFFOpenOptions* TiffHandle::options() {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, &TiffHandle::onError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, &TiffHandle::onWarning, this);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(kMaxDecodedBytes));
    return opts;
}

int TiffHandle::openSource(const QString& path, const char* mode) {
    close();
    clearError();
    int fd = -1;
    if (const int rc = openSourceDescriptor(path, fd, m_error); rc != ApOk)
        return rc;
    TIFFOpenOptions* opts = options();
    const QByteArray fullMode = QByteArray(mode) + 'm';
    m_tiff = TIFFFdOpenExt(fd, QFile::encodeName(path).constData(), fullMode.constData(), opts);
    TIFFOpenOptionsFree(opts);
    if (m_tiff)
        return ApOk;
    ::close(fd); // libtiff closes it only once it has taken it
    return ApCorrupt;
}

bool TiffHandle::openFile(const QString& path, const char* mode) {
    if (mode[0] == 'r')
        return openSource(path, mode) == ApOk;
    close();
    clearError();
    TIFFOpenOptions* opts = options();
    const QByteArray fullMode = QByteArray(mode) + 'm';
    m_tiff = TIFFOpenExt(QFile::encodeName(path).constData(), fullMode.constData(), opts);
    TIFFOpenOptionsFree(opts);
    return m_tiff != nullptr;
}

bool TiffHandle::openMemory(TiffMemory* memory, const char* mode) {
    close();
    clearError();
    TIFFOpenOptions* opts = options();
    const QByteArray fullMode = QByteArray(mode) + 'm';
    m_tiff = TIFFClientOpenExt("memory", fullMode.constData(), memory, memRead, memWrite, memSeek, memClose,
                               memSize, memMap, memUnmap, opts);
    TIFFOpenOptionsFree(opts);
    return m_tiff != nullptr;
}

void TiffHandle::close() {
    if (m_tiff) {
        TIFFClose(m_tiff);
        m_tiff = nullptr;
    }
    m_seen.clear();
}

bool TiffHandle::nextDirectory() {
    if (!m_tiff || TIFFLastDirectory(m_tiff)) return false;
    // The directory open() read (none when opened header only) counts as seen.
    if (m_seen.empty() && TIFFCurrentDirOffset(m_tiff) != 0) m_seen.insert(TIFFCurrentDirOffset(m_tiff));
    // libtiff refuses a looping chain itself, without a word; the set keeps every walk
    // finite whatever it does.
    if (!TIFFReadDirectory(m_tiff) || !m_seen.insert(TIFFCurrentDirOffset(m_tiff)).second) {
        if (m_error.isEmpty()) m_error = QStringLiteral("the chain of directories is broken");
        return false;
    }
    return true;
}

} // namespace imaging
