#include "platform/imaging/pdf/streamdata.h"

#include "platform/fileio/atomicwriter.h"
#include "platform/imaging/formats/raster.h"
#include "platform/imaging/formats/sourcefile.h"

#include <QFileInfo>
#include <algorithm>
#include <array>

namespace imaging {

std::vector<uint8_t> StreamData::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(size());
    QString error;
    writeTo([&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); }, error);
    return out;
}

bool StreamData::copyInto(fileio::AtomicWriter& file, QString& error) const {
    return writeTo([&](const uint8_t* p, size_t n) { file.write(p, n); }, error);
}

bool MemoryStreamData::writeTo(const ByteSink& sink, QString&) const {
    if (!m_bytes.empty()) sink(m_bytes.data(), m_bytes.size());
    return true;
}

void reverseBitsInPlace(uint8_t* data, size_t size) {
    static const auto table = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b)) r |= 0x80 >> b;
            t[size_t(i)] = uint8_t(r);
        }
        return t;
    }();
    for (size_t i = 0; i < size; ++i)
        data[i] = table[data[i]];
}

uint8_t* scratchBuffer(size_t size) {
    thread_local std::unique_ptr<uint8_t[]> block;
    thread_local size_t capacity = 0;
    if (capacity < size) {
        block.reset(new uint8_t[size]);
        capacity = size;
    }
    return block.get();
}

namespace {

QString changedError(const QString& path) {
    return QStringLiteral("%1 changed or vanished before the document was written").arg(path);
}

} // namespace

SharedBytesStreamData::SharedBytesStreamData(const QString& path, const FileStamp& stamp,
                                             std::shared_ptr<const SourceBytes> bytes, std::vector<ByteRange> ranges)
    : m_path(path), m_stamp(stamp), m_bytes(std::move(bytes)), m_ranges(std::move(ranges)) {
    for (const ByteRange& r : m_ranges)
        m_size += r.length;
}

bool SharedBytesStreamData::writeTo(const ByteSink& sink, QString& error) const {
    FileStamp now;
    if (!stampOf(m_path, now) || now != m_stamp) {
        error = changedError(m_path);
        return false;
    }
    for (const ByteRange& r : m_ranges)
        if (r.length) sink(m_bytes->data.get() + r.offset, size_t(r.length));
    return true;
}

std::shared_ptr<SourceStreamData> SourceStreamData::create(const QString& path, std::vector<Range> ranges,
                                                           bool reverseBits, QString& error) {
    ScopedDescriptor file;
    FileStamp stamp;
    if (openSourceDescriptor(path, file.fd, error) != ApOk) {
        error = QStringLiteral("%1 disappeared").arg(path);
        return nullptr;
    }
    if (!stampOf(file.fd, stamp)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return nullptr;
    }
    return create(path, stamp, std::move(ranges), reverseBits, error);
}

std::shared_ptr<SourceStreamData> SourceStreamData::create(const QString& path, const FileStamp& stamp,
                                                           std::vector<Range> ranges, bool reverseBits,
                                                           QString& error) {
    std::shared_ptr<SourceStreamData> d(new SourceStreamData);
    d->m_path = QFileInfo(path).absoluteFilePath();
    d->m_stamp = stamp;
    d->m_reverseBits = reverseBits;
    const uint64_t fileSize = uint64_t(stamp.size);
    for (const Range& r : ranges) {
        // Offsets come from the file itself: compared without a sum that could wrap.
        if (r.offset > fileSize || r.length > fileSize - r.offset) {
            error = QStringLiteral("%1: data past the end of the file").arg(path);
            return nullptr;
        }
        d->m_size += r.length;
    }
    d->m_ranges = std::move(ranges);
    return d;
}

bool SourceStreamData::openUnchanged(ScopedDescriptor& file, QString& error) const {
    FileStamp now;
    QString ignored;
    if (openSourceDescriptor(m_path, file.fd, ignored) != ApOk || !stampOf(file.fd, now) || now != m_stamp) {
        error = changedError(m_path);
        return false;
    }
    return true;
}

bool SourceStreamData::copyInto(fileio::AtomicWriter& target, QString& error) const {
    if (m_reverseBits) return StreamData::copyInto(target, error);
    ScopedDescriptor file;
    if (!openUnchanged(file, error)) return false;
    for (const Range& r : m_ranges) {
        const qint64 copied = target.copyFrom(file.fd, qint64(r.offset), qint64(r.length));
        if (copied < 0) return true; // the failed write is the target's to report
        if (copied != qint64(r.length)) {
            error = changedError(m_path);
            return false;
        }
    }
    return true;
}

bool SourceStreamData::writeTo(const ByteSink& sink, QString& error) const {
    ScopedDescriptor file;
    if (!openUnchanged(file, error)) return false;
    constexpr size_t kPiece = size_t(1) << 20;
    uint8_t* buffer = scratchBuffer(kPiece);
    for (const Range& r : m_ranges) {
        for (uint64_t done = 0; done < r.length;) {
            const size_t want = size_t(std::min<uint64_t>(r.length - done, kPiece));
            if (!readFully(file.fd, buffer, want, int64_t(r.offset + done))) {
                error = QStringLiteral("cannot read %1").arg(m_path);
                return false;
            }
            if (m_reverseBits) reverseBitsInPlace(buffer, want);
            sink(buffer, want);
            done += want;
        }
    }
    return true;
}

} // namespace imaging
