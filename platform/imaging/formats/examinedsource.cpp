#include "platform/imaging/formats/examinedsource.h"

#include "platform/imaging/formats/sniff.h"

#include <QMutex>
#include <algorithm>

namespace imaging {

namespace {

// A query reads ahead for its add only up to this size; larger files are read by the add.
constexpr int64_t kQueryReadLimit = int64_t(64) << 20;

struct Kept {
    QMutex mutex;
    ExaminedSource source;
};

Kept& kept() {
    static Kept* k = new Kept; // outlives every caller, like the document registry
    return *k;
}

bool readWhole(ImageFormat format) {
    return format == ImageFormat::Jpeg || format == ImageFormat::Png;
}

} // namespace

void forgetExaminedSource() {
    Kept& k = kept();
    QMutexLocker lock(&k.mutex);
    k.source = ExaminedSource{};
}

int examineSource(const QString& path, Examine why, ExaminedSource& out, QString& error) {
    out = ExaminedSource{};
    ScopedDescriptor file;
    if (const int rc = openSourceDescriptor(path, file.fd, error); rc != ApOk)
        return rc;
    FileStamp stamp;
    if (!stampOf(file.fd, stamp)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return ApCannotRead;
    }
    {
        Kept& k = kept();
        QMutexLocker lock(&k.mutex);
        if (k.source.path == path && k.source.stamp == stamp &&
            (why == Examine::ForQuery || k.source.bytes || !readWhole(k.source.format))) {
            out = k.source;
            if (why == Examine::ForAdd)
                k.source = ExaminedSource{};
            return ApOk;
        }
    }
    out.path = path;
    out.stamp = stamp;
    if (stamp.size == 0) {
        error = QStringLiteral("%1 is empty").arg(path);
        return ApCorrupt;
    }
    uint8_t head[kSniffHeadBytes];
    uint8_t tail[26];
    const size_t headSize = size_t(std::min<int64_t>(stamp.size, int64_t(sizeof head)));
    const size_t tailSize = stamp.size >= int64_t(sizeof tail) ? sizeof tail : 0;
    if (!readFully(file.fd, head, headSize, 0) ||
        (tailSize && !readFully(file.fd, tail, tailSize, stamp.size - int64_t(tailSize)))) {
        error = QStringLiteral("cannot read %1").arg(path);
        return ApCannotRead;
    }
    out.format = sniffFormat(head, headSize, tail, tailSize);
    if (out.format == ImageFormat::Unknown) {
        error = QStringLiteral("%1 is not an image format we read").arg(path);
        return ApUnsupported;
    }
    if (readWhole(out.format)) {
        const int64_t limit = why == Examine::ForQuery ? kQueryReadLimit : kMaxDecodedBytes;
        if (stamp.size > limit) {
            if (why == Examine::ForAdd) {
                error = QStringLiteral("%1 is over the limits").arg(path);
                return ApOverLimits;
            }
        } else {
            auto bytes = std::make_shared<SourceBytes>();
            bytes->data.reset(new uint8_t[size_t(stamp.size)]);
            bytes->size = size_t(stamp.size);
            // A short read (a file cut under us) must not pass for a shorter image.
            if (!readFully(file.fd, bytes->data.get(), bytes->size, 0)) {
                error = QStringLiteral("cannot read %1").arg(path);
                return ApCannotRead;
            }
            out.bytes = std::move(bytes);
        }
    }
    if (why == Examine::ForQuery) {
        Kept& k = kept();
        QMutexLocker lock(&k.mutex);
        k.source = out;
    }
    return ApOk;
}

} // namespace imaging
