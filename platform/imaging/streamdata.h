#pragma once

// Encoded bytes of one PDF stream, held until the document is written: in memory, in the
// document's spill file, or as byte ranges of the source file itself (pass-through data
// is never copied; the source is read again while writing).

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace imaging {

using ByteSink = std::function<void(const uint8_t* data, size_t size)>;

class StreamData {
public:
    virtual ~StreamData() = default;
    virtual uint64_t size() const = 0;
    // Streams the bytes into `sink`; answers false with `error` set when they cannot be read.
    virtual bool writeTo(const ByteSink& sink, QString& error) const = 0;
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

// Ranges of a source file. The file's size and modification time are remembered so that a
// file changed between ApAddImage and ApClose fails the write instead of corrupting it.
class SourceStreamData final : public StreamData {
public:
    struct Range {
        uint64_t offset;
        uint64_t length;
    };
    // Answers null with `error` set when the file cannot be examined.
    static std::shared_ptr<SourceStreamData> create(const QString& path, std::vector<Range> ranges,
                                                    bool reverseBits, QString& error);
    uint64_t size() const override { return m_size; }
    bool writeTo(const ByteSink& sink, QString& error) const override;

private:
    SourceStreamData() = default;
    QString m_path;
    std::vector<Range> m_ranges;
    bool m_reverseBits = false;
    uint64_t m_size = 0;
    int64_t m_fileSize = 0;
    int64_t m_modified = 0;
};

// Reverses the bit order of every byte (TIFF FillOrder 2 to the PDF's MSB-first order).
void reverseBitsInPlace(uint8_t* data, size_t size);

} // namespace imaging
