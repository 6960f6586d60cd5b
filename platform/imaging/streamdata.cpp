#include "platform/imaging/streamdata.h"

#include "platform/imaging/raster.h"
#include "platform/imaging/sourcefile.h"

#include <QFile>
#include <QFileInfo>
#include <array>

namespace imaging {

std::vector<uint8_t> StreamData::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(size());
    QString error;
    writeTo([&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); }, error);
    return out;
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

std::shared_ptr<SourceStreamData> SourceStreamData::create(const QString& path, std::vector<Range> ranges,
                                                           bool reverseBits, QString& error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("%1 disappeared").arg(path);
        return nullptr;
    }
    std::shared_ptr<SourceStreamData> d(new SourceStreamData);
    d->m_path = info.absoluteFilePath();
    d->m_fileSize = info.size();
    d->m_modified = info.lastModified().toMSecsSinceEpoch();
    d->m_reverseBits = reverseBits;
    for (const Range& r : ranges) {
        // Offsets come from the file itself: compared without a sum that could wrap.
        if (r.offset > uint64_t(d->m_fileSize) || r.length > uint64_t(d->m_fileSize) - r.offset) {
            error = QStringLiteral("%1: data past the end of the file").arg(path);
            return nullptr;
        }
        d->m_size += r.length;
    }
    d->m_ranges = std::move(ranges);
    return d;
}

bool SourceStreamData::writeTo(const ByteSink& sink, QString& error) const {
    QFile file;
    const QFileInfo info(m_path);
    if (openSourceFile(file, m_path, error) != ApOk || info.size() != m_fileSize ||
        info.lastModified().toMSecsSinceEpoch() != m_modified) {
        error = QStringLiteral("%1 changed or vanished before the document was written").arg(m_path);
        return false;
    }
    std::vector<uint8_t> buffer(1u << 20);
    for (const Range& r : m_ranges) {
        if (!file.seek(qint64(r.offset))) {
            error = QStringLiteral("cannot read %1").arg(m_path);
            return false;
        }
        uint64_t left = r.length;
        while (left > 0) {
            const qint64 want = qint64(std::min<uint64_t>(left, buffer.size()));
            if (file.read(reinterpret_cast<char*>(buffer.data()), want) != want) {
                error = QStringLiteral("cannot read %1").arg(m_path);
                return false;
            }
            if (m_reverseBits) reverseBitsInPlace(buffer.data(), size_t(want));
            sink(buffer.data(), size_t(want));
            left -= uint64_t(want);
        }
    }
    return true;
}

} // namespace imaging
