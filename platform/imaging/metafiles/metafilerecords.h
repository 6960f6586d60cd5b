#pragma once

// Metafile records read one at a time from the file: every record's size is checked against
// what the file still holds before its bytes are read, and its parameters are read through
// accessors that answer a default past the record's end, so a short record cannot reach
// beyond itself. WMF records count their size in 16-bit words before a 16-bit function; EMF
// records give a 32-bit type before their size in bytes.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstdint>

namespace imaging::metafile {

// One record's function (WMF) or type (EMF), and its parameters: the bytes after its size
// and function.
struct Record {
    uint32_t function = 0;
    QByteArray params;

    int words() const { return int(params.size() / 2); }
    uint16_t u16(int word) const;
    int16_t s16(int word) const { return int16_t(u16(word)); }
    uint32_t u32(int word) const { return u16(word) | uint32_t(u16(word + 1)) << 16; }
    // 32-bit values and floats at byte `at` of the parameters.
    uint32_t u32At(int at) const;
    int32_t i32At(int at) const { return int32_t(u32At(at)); }
    float f32At(int at) const;
    // Raw bytes from byte `at`: ask holds() first.
    const char* bytesAt(int at) const { return params.constData() + at; }
    // Whether the parameters hold `count` bytes from byte `at`.
    bool holds(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at + count <= params.size(); }
};

class RecordReader {
public:
    enum class Layout { Wmf, Emf };
    // Records are read from `start` up to the end of `device`; none larger than `maxBytes`.
    RecordReader(QIODevice& device, Layout layout, qint64 start, qint64 maxBytes);

    enum class Result { Record, End, Error };
    // The next record, End after the end record, or Error (ApCorrupt or ApOverLimits in
    // `code`, `error` set) for a record the file cannot hold or a file ending without its
    // end record.
    Result next(Record& record, int& code, QString& error);

private:
    // At least `bytes` (no more than the file holds) buffered from the current record on.
    bool buffer(qint64 bytes);

    QIODevice& m_device;
    Layout m_layout;
    qint64 m_size;
    qint64 m_maxBytes;
    QByteArray m_buffer; // file bytes from m_bufferAt
    qint64 m_bufferAt;
    qint64 m_pos = 0; // the current record, within m_buffer
    qint64 m_count = 0;
};

} // namespace imaging::metafile
