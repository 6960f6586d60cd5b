#include "platform/imaging/metafiles/metafilerecords.h"

#include "platform/imaging/formats/raster.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace imaging::metafile {

namespace {

constexpr qint64 kChunk = 256 << 10; // records are read in blocks of this

uint16_t le16(const char* p) {
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}
uint32_t le32(const char* p) {
    return le16(p) | uint32_t(le16(p + 2)) << 16;
}

} // namespace

uint16_t Record::u16(int word) const {
    if (word < 0 || qsizetype(word) * 2 + 2 > params.size()) return 0;
    return le16(params.constData() + qsizetype(word) * 2);
}

uint32_t Record::u32At(int at) const {
    return holds(at, 4) ? le32(params.constData() + at) : 0;
}

float Record::f32At(int at) const {
    return std::bit_cast<float>(u32At(at));
}

RecordReader::RecordReader(QIODevice& device, Layout layout, qint64 start, qint64 maxBytes)
    : m_device(device), m_layout(layout), m_size(device.size()), m_maxBytes(maxBytes), m_bufferAt(start) {}

bool RecordReader::buffer(qint64 bytes) {
    if (m_buffer.size() - m_pos >= bytes) return true;
    m_buffer.remove(0, m_pos);
    m_bufferAt += m_pos;
    m_pos = 0;
    const qint64 have = m_buffer.size();
    const qint64 want = std::min(std::max(bytes, kChunk), m_size - m_bufferAt);
    if (want <= have || !m_device.seek(m_bufferAt + have)) return false;
    m_buffer.resize(want);
    if (m_device.read(m_buffer.data() + have, want - have) != want - have) {
        m_buffer.resize(have);
        return false;
    }
    return m_buffer.size() >= bytes;
}

RecordReader::Result RecordReader::next(Record& record, int& code, QString& error) {
    const bool wmf = m_layout == Layout::Wmf;
    const QString kind = wmf ? QStringLiteral("WMF") : QStringLiteral("EMF");
    const qint64 headBytes = wmf ? 6 : 8;
    if (!buffer(headBytes)) {
        code = ApCorrupt;
        error = QStringLiteral("%1 records end without their end record").arg(kind);
        return Result::Error;
    }
    const char* head = m_buffer.constData() + m_pos;
    const qint64 bytes = wmf ? qint64(le32(head)) * 2 : qint64(le32(head + 4));
    if (bytes < headBytes || bytes > m_size - (m_bufferAt + m_pos)) {
        code = ApCorrupt;
        error = QStringLiteral("%1 record %2 of %3 bytes does not fit in the file")
                    .arg(kind)
                    .arg(m_count + 1)
                    .arg(bytes);
        return Result::Error;
    }
    if (bytes > m_maxBytes) {
        code = ApOverLimits;
        error = QStringLiteral("%1 record of %2 bytes is over the limits").arg(kind).arg(bytes);
        return Result::Error;
    }
    record.function = wmf ? le16(head + 4) : le32(head);
    record.params.resize(bytes - headBytes); // keeps its block for the next record
    if (bytes <= kChunk) {
        if (!buffer(bytes)) {
            code = ApCannotRead;
            error = QStringLiteral("cannot read the file in full");
            return Result::Error;
        }
        std::memcpy(record.params.data(), m_buffer.constData() + m_pos + headBytes,
                    size_t(bytes - headBytes));
        m_pos += bytes;
    } else { // a large bitmap: read straight into the record, not through the buffer
        const qint64 at = m_bufferAt + m_pos + headBytes;
        if (!m_device.seek(at) ||
            m_device.read(record.params.data(), record.params.size()) != record.params.size()) {
            code = ApCannotRead;
            error = QStringLiteral("cannot read the file in full");
            return Result::Error;
        }
        m_buffer.clear();
        m_bufferAt = at + record.params.size();
        m_pos = 0;
    }
    ++m_count;
    const bool end = wmf ? record.function == 0 : record.function == 14;
    return end ? Result::End : Result::Record;
}

} // namespace imaging::metafile
