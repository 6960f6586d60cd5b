#include "platform/imaging/isolateddecode.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QM_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_ADDRESS_SANITIZER 1
#endif
#endif

namespace imaging {

namespace {

#ifdef QM_ADDRESS_SANITIZER
constexpr int kSlowdown = 3; // instrumented code runs several times slower
#else
constexpr int kSlowdown = 1;
#endif

using Clock = std::chrono::steady_clock;

// What the child sends before the page's arrays.
struct Reply {
    int32_t rc = ApCorrupt;
    int32_t width = 0;
    int32_t height = 0;
    int32_t model = 0;
    int32_t bitsPerComponent = 0;
    int32_t storedBitsPerPixel = 0;
    double dpiX = 0;
    double dpiY = 0;
    uint64_t errorBytes = 0;
    uint64_t pixelBytes = 0;
    uint64_t paletteBytes = 0;
    uint64_t alphaBytes = 0;
    uint64_t iccBytes = 0;
};

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Reads exactly `size` bytes unless the deadline passes or the child closes the pipe.
enum class ReadResult { Done, Closed, TimedOut };

ReadResult readAll(int fd, void* data, size_t size, Clock::time_point deadline) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return ReadResult::TimedOut;
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            return ReadResult::Closed;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return ReadResult::Closed;
        p += n;
        size -= size_t(n);
    }
    return ReadResult::Done;
}

void limitChild(const DecodeLimits& limits) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const rlimit cpu{rlim_t(limits.seconds), rlim_t(limits.seconds) + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
#ifndef QM_ADDRESS_SANITIZER // the sanitizer reserves terabytes of shadow memory up front
    unsigned long long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    if (pages > 0) {
        const rlim_t mapped = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE));
        const rlimit memory{mapped + rlim_t(limits.memoryBytes), mapped + rlim_t(limits.memoryBytes)};
        ::setrlimit(RLIMIT_AS, &memory);
    }
#endif
}

[[noreturn]] void runChild(int fd, const PageDecode& decode, const DecodeLimits& limits) {
    ::signal(SIGPIPE, SIG_DFL);
    limitChild(limits);
    RasterPage page;
    QString error;
    Reply reply;
    try {
        reply.rc = decode(page, error);
    } catch (const std::bad_alloc&) {
        reply.rc = ApOverLimits;
        error = QStringLiteral("out of memory while decoding");
    } catch (const std::exception& e) {
        reply.rc = ApCorrupt;
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        reply.rc = ApCorrupt;
        error = QStringLiteral("the decoder failed");
    }
    const QByteArray text = error.toUtf8();
    reply.errorBytes = uint64_t(text.size());
    if (reply.rc == ApOk) {
        reply.width = page.width;
        reply.height = page.height;
        reply.model = int32_t(page.model);
        reply.bitsPerComponent = page.bitsPerComponent;
        reply.storedBitsPerPixel = page.storedBitsPerPixel;
        reply.dpiX = page.dpiX;
        reply.dpiY = page.dpiY;
        reply.pixelBytes = page.pixels.size();
        reply.paletteBytes = page.palette.size();
        reply.alphaBytes = page.alpha.size();
        reply.iccBytes = uint64_t(page.icc.size());
    }
    const bool sent = writeAll(fd, &reply, sizeof reply) && writeAll(fd, text.constData(), size_t(text.size())) &&
                      (reply.rc != ApOk ||
                       (writeAll(fd, page.pixels.data(), page.pixels.size()) &&
                        writeAll(fd, page.palette.data(), page.palette.size()) &&
                        writeAll(fd, page.alpha.data(), page.alpha.size()) &&
                        writeAll(fd, page.icc.constData(), size_t(page.icc.size()))));
    ::_exit(sent ? 0 : 1); // no atexit handlers, no flushing of the parent's buffers
}

// The reply's sizes must fit the page it describes; the child is ours, but its memory may
// have been damaged by the file it decoded.
bool plausible(const Reply& r) {
    if (r.rc != ApOk)
        return r.errorBytes <= 64 * 1024;
    if (r.width <= 0 || r.height <= 0 || r.width > kMaxSide || r.height > kMaxSide || r.model < 0 || r.model > 3)
        return false;
    RasterPage shape;
    shape.width = r.width;
    shape.height = r.height;
    shape.model = ColourModel(r.model);
    shape.bitsPerComponent = r.bitsPerComponent;
    if (r.bitsPerComponent != 1 && r.bitsPerComponent != 2 && r.bitsPerComponent != 4 && r.bitsPerComponent != 8 &&
        r.bitsPerComponent != 16)
        return false;
    const uint64_t pixels = uint64_t(shape.rowBytes()) * uint64_t(r.height);
    return pixels <= uint64_t(kMaxDecodedBytes) && r.pixelBytes == pixels && r.paletteBytes <= 3 * 65536 &&
           (r.alphaBytes == 0 || r.alphaBytes == uint64_t(r.width) * uint64_t(r.height)) &&
           r.iccBytes <= 64 * 1024 * 1024 && r.errorBytes <= 64 * 1024;
}

// The child's answer: its code and error text, and its page when it has one. `answered` is
// false when the child sent no whole answer (it died, or ran out of time).
int readReply(int fd, Clock::time_point deadline, RasterPage& page, QString& error, bool& answered, bool& timedOut) {
    answered = false;
    Reply reply;
    auto read = [&](void* data, size_t size) {
        const ReadResult result = readAll(fd, data, size, deadline);
        timedOut = result == ReadResult::TimedOut;
        return result == ReadResult::Done;
    };
    if (!read(&reply, sizeof reply))
        return ApCorrupt;
    if (!plausible(reply)) {
        answered = true;
        error = QStringLiteral("the decoder answered nonsense");
        return ApCorrupt;
    }
    QByteArray text(qsizetype(reply.errorBytes), Qt::Uninitialized);
    if (!read(text.data(), size_t(text.size())))
        return ApCorrupt;
    if (reply.rc != ApOk) {
        answered = true;
        error = text.isEmpty() ? QStringLiteral("the picture could not be decoded") : QString::fromUtf8(text);
        return reply.rc < 0 ? reply.rc : ApCorrupt;
    }
    RasterPage result;
    result.width = reply.width;
    result.height = reply.height;
    result.model = ColourModel(reply.model);
    result.bitsPerComponent = reply.bitsPerComponent;
    result.storedBitsPerPixel = reply.storedBitsPerPixel;
    result.dpiX = reply.dpiX;
    result.dpiY = reply.dpiY;
    try {
        result.pixels.resize(reply.pixelBytes);
        result.palette.resize(reply.paletteBytes);
        result.alpha.resize(reply.alphaBytes);
        result.icc.resize(qsizetype(reply.iccBytes));
    } catch (const std::bad_alloc&) {
        answered = true;
        error = QStringLiteral("out of memory while decoding");
        return ApOverLimits;
    }
    if (!read(result.pixels.data(), result.pixels.size()) || !read(result.palette.data(), result.palette.size()) ||
        !read(result.alpha.data(), result.alpha.size()) || !read(result.icc.data(), size_t(result.icc.size())))
        return ApCorrupt;
    answered = true;
    page = std::move(result);
    return ApOk;
}

} // namespace

int decodeIsolated(const PageDecode& decode, RasterPage& page, QString& error, const DecodeLimits& asked) {
    DecodeLimits limits = asked;
    // The clock allows at least the processor time; both scaled once for slow builds.
    limits.seconds = asked.seconds * kSlowdown;
    limits.waitSeconds = std::max(asked.waitSeconds, asked.seconds) * kSlowdown;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = QStringLiteral("cannot start the decoder: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return ApOverLimits;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(limits.waitSeconds);
    const pid_t child = ::fork();
    if (child < 0) {
        const int cause = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        error = QStringLiteral("cannot start the decoder: %1").arg(QString::fromLocal8Bit(std::strerror(cause)));
        return ApOverLimits;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        runChild(pipeFds[1], decode, limits);
    }
    ::close(pipeFds[1]);
    bool answered = false, timedOut = false;
    QString childError;
    const int rc = readReply(pipeFds[0], deadline, page, childError, answered, timedOut);
    ::close(pipeFds[0]); // a child still writing gets SIGPIPE
    if (timedOut)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool killed = WIFSIGNALED(status);
    const int signal = killed ? WTERMSIG(status) : 0;
    if (answered) {
        error = childError;
        return rc;
    }
    if (signal == SIGXCPU) {
        error = QStringLiteral("the picture takes longer than %1 seconds to draw").arg(limits.seconds);
        return ApOverLimits;
    }
    if (timedOut) {
        error = QStringLiteral("the picture was not drawn within %1 seconds").arg(limits.waitSeconds);
        return ApOverLimits;
    }
    if (signal == SIGKILL) { // the system's out-of-memory killer
        error = QStringLiteral("the picture needs more memory than there is");
        return ApOverLimits;
    }
    error = killed ? QStringLiteral("the decoder failed on this file (signal %1)").arg(signal)
                   : QStringLiteral("the decoder failed on this file");
    return ApCorrupt;
}

} // namespace imaging
