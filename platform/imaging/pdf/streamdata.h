#pragma once

// Encoded bytes of one PDF stream, held until the document is written: in memory, in the
// document's spill file, or as byte ranges of the source file itself (pass-through data
// is never copied; the source is read again while writing).

#include "platform/imaging/formats/sourcefile.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace fileio {
class AtomicWriter;
}

namespace imaging {

using ByteSink = std::function<void(const uint8_t* data, size_t size)>;

class StreamData {
public:
    virtual ~StreamData() = default;
    virtual uint64_t size() const = 0;
    // Streams the bytes into `sink`; answers false with `error` set when they cannot be read.
    virtual bool writeTo(const ByteSink& sink, QString& error) const = 0;
    // Writes the bytes into `file`; answers false with `error` set when they cannot be read
    // (a failed write stays on `file`).
    virtual bool copyInto(fileio::AtomicWriter& file, QString& error) const;
    // All bytes at once (tests, small streams).
    std::vector<uint8_t> bytes() const;
};

using StreamDataPtr = std::shared_ptr<const StreamData>;

class MemoryStreamData final : public StreamData {
public:
    explicit MemoryStreamData(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    uint64_t size() const override { return m_bytes.size(); }
    bool writeTo(const ByteSink& sink, QString& error) const override;

private:
    std::vector<uint8_t> m_bytes;
};

struct ByteRange {
    uint64_t offset;
    uint64_t length;
};

// Ranges of a file's bytes already read (a JPEG or PNG kept from its one read): handed to
// the writer where they lie, never copied. The file is not read again, but like every
// passed-through source it must not have changed since it was read.
class SharedBytesStreamData final : public StreamData {
public:
    SharedBytesStreamData(const QString& path, const FileStamp& stamp, std::shared_ptr<const SourceBytes> bytes,
                          std::vector<ByteRange> ranges);
    uint64_t size() const override { return m_size; }
    bool writeTo(const ByteSink& sink, QString& error) const override;

private:
    QString m_path;
    FileStamp m_stamp;
    std::shared_ptr<const SourceBytes> m_bytes;
    std::vector<ByteRange> m_ranges;
    uint64_t m_size = 0;
};

// Ranges of a source file, read again while writing. The file's stamp is remembered so that
// a file changed between ApAddImage and ApClose fails the write instead of corrupting it.
class SourceStreamData final : public StreamData {
public:
    using Range = ByteRange;
    // Answers null with `error` set when the file cannot be examined.
    static std::shared_ptr<SourceStreamData> create(const QString& path, std::vector<Range> ranges,
                                                    bool reverseBits, QString& error);
    // The same for a file whose stamp the caller took when it read the file.
    static std::shared_ptr<SourceStreamData> create(const QString& path, const FileStamp& stamp,
                                                    std::vector<Range> ranges, bool reverseBits, QString& error);
    uint64_t size() const override { return m_size; }
    bool writeTo(const ByteSink& sink, QString& error) const override;
    // From the source file to the target file inside the kernel.
    bool copyInto(fileio::AtomicWriter& file, QString& error) const override;

private:
    SourceStreamData() = default;
    // The source, opened and checked against its stamp; false with `error` set.
    bool openUnchanged(ScopedDescriptor& file, QString& error) const;
    QString m_path;
    std::vector<Range> m_ranges;
    bool m_reverseBits = false;
    uint64_t m_size = 0;
    FileStamp m_stamp;
};

// A block of at least `size` bytes for copying data through, kept by the calling thread and
// reused, so that streams read in pieces touch no fresh memory each time.
uint8_t* scratchBuffer(size_t size);

// Reverses the bit order of every byte (TIFF FillOrder 2 to the PDF's MSB-first order).
void reverseBitsInPlace(uint8_t* data, size_t size);

} // namespace imaging
