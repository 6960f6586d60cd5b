#pragma once

// Keeps a document's encoded streams within a small memory budget: once the budget is used
// up, further streams go to one anonymous temporary file, so that a merge of a thousand
// images holds no more than the budget in memory.

#include "platform/imaging/pdf/streamdata.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace imaging {

class StreamStore {
public:
    explicit StreamStore(uint64_t memoryBudget = 8u << 20);
    ~StreamStore();
    StreamStore(const StreamStore&) = delete;
    StreamStore& operator=(const StreamStore&) = delete;

    // Takes ownership of `bytes`; answers null with `error` set when spilling fails.
    StreamDataPtr keep(std::vector<uint8_t>&& bytes, QString& error);
    // Ranges of the bytes read from the file at `path` with `stamp`, held where they are
    // (the caller checked hasRoomFor).
    StreamDataPtr keep(const QString& path, const FileStamp& stamp, std::shared_ptr<const SourceBytes> bytes,
                       std::vector<ByteRange> ranges);

    // A point to return to when a file fails half-way: the streams kept after it are
    // dropped by their owners, and their space is given back.
    struct Mark {
        uint64_t memory;
        uint64_t spill;
    };
    Mark mark() const { return {m_memoryUsed, m_spillSize}; }
    void rollback(const Mark& mark);

    // Whether `size` more bytes would still be kept in memory.
    bool hasRoomFor(uint64_t size) const { return m_memoryUsed + size <= m_budget; }
    uint64_t memoryUsed() const { return m_memoryUsed; }
    uint64_t spilledBytes() const { return m_spillSize; }

private:
    struct SpillFile;
    class SpillStreamData;
    bool openSpill(QString& error);

    uint64_t m_budget;
    uint64_t m_memoryUsed = 0;
    uint64_t m_spillSize = 0;
    std::shared_ptr<SpillFile> m_spill; // shared with the streams that live in it
};

} // namespace imaging
