#include "platform/imaging/pdf/streamstore.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace imaging {

// The spill file is unlinked as soon as it is created, so a killed process leaves nothing.
struct StreamStore::SpillFile {
    int fd = -1;
    ~SpillFile() {
        if (fd >= 0) ::close(fd);
    }
};

class StreamStore::SpillStreamData final : public StreamData {
public:
    SpillStreamData(std::shared_ptr<SpillFile> file, uint64_t offset, uint64_t length)
        : m_file(std::move(file)), m_offset(offset), m_length(length) {}
    uint64_t size() const override { return m_length; }
    bool writeTo(const ByteSink& sink, QString& error) const override {
        constexpr size_t kPiece = size_t(1) << 20;
        uint8_t* buffer = scratchBuffer(kPiece);
        uint64_t done = 0;
        while (done < m_length) {
            const size_t want = size_t(std::min<uint64_t>(m_length - done, kPiece));
            const ssize_t got = ::pread(m_file->fd, buffer, want, off_t(m_offset + done));
            if (got <= 0) {
                if (got < 0 && errno == EINTR) continue;
                error = QStringLiteral("cannot read the temporary file: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
                return false;
            }
            sink(buffer, size_t(got));
            done += uint64_t(got);
        }
        return true;
    }

private:
    std::shared_ptr<SpillFile> m_file;
    uint64_t m_offset;
    uint64_t m_length;
};

StreamStore::StreamStore(uint64_t memoryBudget) : m_budget(memoryBudget) {}

StreamStore::~StreamStore() = default;

bool StreamStore::openSpill(QString& error) {
    if (m_spill) return true;
    QByteArray name = QFile::encodeName(QDir::tempPath() + QStringLiteral("/quillmere-spill-XXXXXX"));
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = QStringLiteral("cannot create a temporary file: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::unlink(name.constData());
    m_spill = std::make_shared<SpillFile>();
    m_spill->fd = fd;
    return true;
}

StreamDataPtr StreamStore::keep(std::vector<uint8_t>&& bytes, QString& error) {
    const uint64_t n = bytes.size();
    if (m_memoryUsed + n <= m_budget) {
        m_memoryUsed += n;
        // Encoders reserve for the worst case; a kept stream holds only its bytes.
        if (bytes.capacity() > n + n / 4)
            bytes.shrink_to_fit();
        return std::make_shared<MemoryStreamData>(std::move(bytes));
    }
    if (!openSpill(error)) return nullptr;
    uint64_t done = 0;
    while (done < n) {
        const ssize_t put =
            ::pwrite(m_spill->fd, bytes.data() + done, size_t(n - done), off_t(m_spillSize + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            error = QStringLiteral("cannot write the temporary file: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return nullptr;
        }
        done += uint64_t(put);
    }
    auto data = std::make_shared<SpillStreamData>(m_spill, m_spillSize, n);
    m_spillSize += n;
    return data;
}

StreamDataPtr StreamStore::keep(const QString& path, const FileStamp& stamp, std::shared_ptr<const SourceBytes> bytes,
                                std::vector<ByteRange> ranges) {
    m_memoryUsed += bytes->size;
    return std::make_shared<SharedBytesStreamData>(path, stamp, std::move(bytes), std::move(ranges));
}

void StreamStore::rollback(const Mark& mark) {
    m_memoryUsed = mark.memory;
    if (m_spill && mark.spill < m_spillSize) {
        m_spillSize = mark.spill;
        if (::ftruncate(m_spill->fd, off_t(m_spillSize)) != 0) {
            // The space stays used until the document is released; the data is never read.
        }
    }
}

} // namespace imaging
