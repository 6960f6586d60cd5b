#include "platform/imaging/wmfrecords.h"

#include "platform/imaging/raster.h"

#include <algorithm>
#include <cstring>

namespace imaging::wmf {

namespace {

constexpr int kPlaceableBytes = 22;
constexpr int kHeaderBytes = 18;
constexpr int kRecordHead = 6;       // size in words, then the function
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

int readFileHeader(QIODevice& device, FileHeader& header, QString& error) {
    header = FileHeader();
    device.seek(0);
    const QByteArray b = device.read(kPlaceableBytes + kHeaderBytes);
    const char* p = b.constData();
    qint64 standard = 0;
    if (b.size() >= kPlaceableBytes && le32(p) == 0x9AC6CDD7u) {
        header.placeable = true;
        header.left = int16_t(le16(p + 6));
        header.top = int16_t(le16(p + 8));
        header.right = int16_t(le16(p + 10));
        header.bottom = int16_t(le16(p + 12));
        header.unitsPerInch = le16(p + 14);
        standard = kPlaceableBytes;
        if (header.unitsPerInch == 0 || header.left == header.right || header.top == header.bottom) {
            error = QStringLiteral("WMF placeable header without a picture size");
            return ApCorrupt;
        }
    }
    const char* h = p + standard;
    if (b.size() < standard + kHeaderBytes || (le16(h) != 1 && le16(h) != 2) || le16(h + 2) != 9 ||
        (le16(h + 4) != 0x0100 && le16(h + 4) != 0x0300)) {
        error = QStringLiteral("not a WMF header");
        return ApCorrupt;
    }
    header.objects = le16(h + 10);
    header.recordsAt = standard + kHeaderBytes;
    return ApOk;
}

RecordReader::RecordReader(QIODevice& device, qint64 start, qint64 maxBytes)
    : m_device(device), m_size(device.size()), m_maxBytes(maxBytes), m_bufferAt(start) {}

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
    if (!buffer(kRecordHead)) {
        code = ApCorrupt;
        error = QStringLiteral("WMF records end without their end record");
        return Result::Error;
    }
    const char* head = m_buffer.constData() + m_pos;
    const qint64 bytes = qint64(le32(head)) * 2;
    if (bytes < kRecordHead || bytes > m_size - (m_bufferAt + m_pos)) {
        code = ApCorrupt;
        error =
            QStringLiteral("WMF record %1 of %2 bytes does not fit in the file").arg(m_count + 1).arg(bytes);
        return Result::Error;
    }
    if (bytes > m_maxBytes) {
        code = ApOverLimits;
        error = QStringLiteral("WMF record of %1 bytes is over the limits").arg(bytes);
        return Result::Error;
    }
    record.function = le16(head + 4);
    record.params.resize(bytes - kRecordHead); // keeps its block for the next record
    if (bytes <= kChunk) {
        if (!buffer(bytes)) {
            code = ApCannotRead;
            error = QStringLiteral("cannot read the file in full");
            return Result::Error;
        }
        std::memcpy(record.params.data(), m_buffer.constData() + m_pos + kRecordHead,
                    size_t(bytes - kRecordHead));
        m_pos += bytes;
    } else { // a large bitmap: read straight into the record, not through the buffer
        const qint64 at = m_bufferAt + m_pos + kRecordHead;
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
    return record.function == kEof ? Result::End : Result::Record;
}

} // namespace imaging::wmf
