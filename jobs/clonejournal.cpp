#include "jobs/clonejournal.h"

#include "core/runtimeerror.h"
#include "platform/fileio/atomicwriter.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace clonejob {

namespace {

constexpr char kMagic[8] = {'Q', 'M', 'C', 'L', 'J', 'N', 'L', '1'};
constexpr qsizetype kBootIdBytes = 36;
// The file grows by at least this much at a time, and by at most kMaxStep.
constexpr qint64 kMinStep = 64 * 1024;
constexpr qint64 kMaxStep = 4 * 1024 * 1024;

quint32 crc(QByteArrayView bytes, quint32 seed = 0) {
    return quint32(::crc32_z(seed, reinterpret_cast<const Bytef*>(bytes.data()), size_t(bytes.size())));
}

template <class T> void put(char* at, T value) {
    qToLittleEndian(value, at);
}
template <class T> T get(const char* at) {
    return qFromLittleEndian<T>(at);
}

[[noreturn]] void raiseErrno(const QString& path, const char* what, int err) {
    raiseError(fileio::runtimeErrorForErrno(err),
               QStringLiteral("%1 %2: %3")
                   .arg(QString::fromLatin1(what), path, QString::fromLocal8Bit(std::strerror(err))));
}

const QString* const kStatusTexts[] = {&kStatusCompleted, &kStatusError, &kStatusAlreadyExists,
                                       &kStatusNoFolder};

} // namespace

quint8 statusCode(const QString& text) {
    for (quint8 i = 0; i < 4; ++i)
        if (*kStatusTexts[i] == text) return quint8(i + 1);
    return 0;
}

QString statusText(quint8 code) {
    code &= quint8(~JournalRecord::kWrittenDurably);
    return code >= 1 && code <= 4 ? *kStatusTexts[code - 1] : QString();
}

JournalRecord JournalRecord::status(quint32 entry, const QString& text, bool durably) {
    return {Status, quint8(statusCode(text) | (durably ? kWrittenDurably : 0)), entry, 0};
}

JournalHeader journalHeaderFor(QByteArrayView listBytes, quint32 entries, const QByteArray& bootId) {
    return {quint64(listBytes.size()), crc(listBytes), entries, bootId.left(kBootIdBytes)};
}

bool sameList(const JournalHeader& a, const JournalHeader& b) {
    return a.listSize == b.listSize && a.listCrc == b.listCrc && a.entries == b.entries;
}

QByteArray journalHeaderBytes(const JournalHeader& h) {
    QByteArray out(kJournalHeaderSize, '\0');
    char* p = out.data();
    std::memcpy(p, kMagic, 8);
    put<quint64>(p + 8, h.listSize);
    put<quint32>(p + 16, h.listCrc);
    put<quint32>(p + 20, h.entries);
    std::memcpy(p + 24, h.bootId.constData(), size_t(std::min(h.bootId.size(), kBootIdBytes)));
    put<quint32>(p + 60, crc(QByteArrayView(p, 60)));
    return out;
}

namespace {

// The header's own checksum (not one over the whole header: a CRC over data followed by its
// CRC is the same for every header).
quint32 recordSeed(const JournalHeader& h) {
    return crc(QByteArrayView(journalHeaderBytes(h)).first(60));
}

void encodeRecord(char* p, quint32 seed, const JournalRecord& r) {
    std::memset(p, 0, size_t(kJournalRecordSize));
    p[0] = char(r.kind);
    p[1] = char(r.code);
    put<quint32>(p + 4, r.index);
    put<quint32>(p + 8, r.value);
    put<quint32>(p + 12, crc(QByteArrayView(p, 12), seed));
}

} // namespace

QByteArray journalRecordBytes(const JournalHeader& h, const JournalRecord& r) {
    QByteArray out(kJournalRecordSize, '\0');
    encodeRecord(out.data(), recordSeed(h), r);
    return out;
}

std::optional<ParsedJournal> parseJournal(QByteArrayView bytes) {
    if (bytes.size() < kJournalHeaderSize) return std::nullopt;
    const char* p = bytes.data();
    if (std::memcmp(p, kMagic, 8) != 0 || get<quint32>(p + 60) != crc(bytes.first(60))) return std::nullopt;
    ParsedJournal j;
    j.header.listSize = get<quint64>(p + 8);
    j.header.listCrc = get<quint32>(p + 16);
    j.header.entries = get<quint32>(p + 20);
    j.header.bootId = QByteArray(p + 24, kBootIdBytes);
    j.header.bootId.truncate(qsizetype(qstrnlen(j.header.bootId.constData(), kBootIdBytes)));
    const quint32 seed = get<quint32>(p + 60);
    const quint64 entries = j.header.entries;
    for (qsizetype at = kJournalHeaderSize; at + kJournalRecordSize <= bytes.size();
         at += kJournalRecordSize) {
        const char* r = p + at;
        if (get<quint32>(r + 12) != crc(QByteArrayView(r, 12), seed) || r[2] != 0 || r[3] != 0) break;
        JournalRecord rec{JournalRecord::Kind(quint8(r[0])), quint8(r[1]), get<quint32>(r + 4),
                          get<quint32>(r + 8)};
        bool sound = false;
        switch (rec.kind) {
        case JournalRecord::Status:
            sound = rec.index < entries && !statusText(rec.code).isEmpty() && rec.value == 0;
            break;
        case JournalRecord::Claim:
            sound = rec.code == 0 && rec.value > 0 && quint64(rec.index) + rec.value <= entries;
            break;
        case JournalRecord::Durable:
            sound = rec.code == 0 && rec.index == 0 && rec.value <= j.records.size();
            break;
        }
        if (!sound) break;
        j.records.push_back(rec);
    }
    return j;
}

JournalReplay replayJournal(CloneList& list, const ParsedJournal& journal, const QByteArray& bootId) {
    JournalReplay out;
    const size_t n = list.files.size();
    if (journal.header.entries != n) return out;
    const bool sameBoot = !bootId.isEmpty() && journal.header.bootId == bootId;
    quint32 vouched = 0;
    for (const JournalRecord& r : journal.records)
        if (r.kind == JournalRecord::Durable) vouched = std::max(vouched, r.value);

    struct Latest {
        quint8 code = 0;
        bool onDisk = false;
    };
    std::vector<Latest> latest(n);
    std::vector<bool> claimed(n, false);
    for (quint32 p = 0; p < journal.records.size(); ++p) {
        const JournalRecord& r = journal.records[p];
        if (r.kind == JournalRecord::Claim) {
            std::fill(claimed.begin() + r.index, claimed.begin() + r.index + r.value, true);
        } else if (r.kind == JournalRecord::Status) {
            const quint8 code = r.code & quint8(~JournalRecord::kWrittenDurably);
            const bool onDisk = (r.code & JournalRecord::kWrittenDurably) || p < vouched;
            // Only a "Completed" rests on a file; the other results hold after any restart.
            if (code == statusCode(kStatusCompleted) && !onDisk && !sameBoot) continue;
            latest[r.index] = {code, onDisk};
        }
    }
    for (size_t i = 0; i < n; ++i) {
        CloneFileEntry& e = list.files[i];
        if (!e.waiting()) continue;
        if (latest[i].code) {
            e.status = statusText(latest[i].code);
            ++out.statuses;
            if (e.status == kStatusCompleted && !latest[i].onDisk &&
                !out.unvouchedFolders.contains(e.targetfolder))
                out.unvouchedFolders << e.targetfolder;
        } else if (claimed[i]) {
            out.owned.push_back(quint32(i));
        }
    }
    return out;
}

QByteArray currentBootId() {
    QFile f(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.read(64).trimmed().left(kBootIdBytes);
}

// --- JournalFile -----------------------------------------------------------------------------

JournalFile::~JournalFile() {
    close();
}

void JournalFile::close() {
    if (m_map) ::munmap(m_map, size_t(m_mapped));
    m_map = nullptr;
    m_mapped = 0;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

void JournalFile::open(const QString& path, const JournalHeader& header, qint64 end) {
    close();
    m_path = path;
    m_seed = recordSeed(header);
    m_entries = header.entries;
    m_end = end;
    m_mapFailed = false;
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0) raiseErrno(path, "open", errno);
    reserve(m_end + kJournalRecordSize);
}

void JournalFile::reserve(qint64 bytes) {
    if (bytes <= m_mapped) return;
    const qint64 step = std::clamp(m_mapped, kMinStep, kMaxStep);
    const qint64 want = (bytes + step - 1) / step * step;
    // The room is the file's before it is used: a store into a mapping cannot report a full disk.
    if (const int err = ::posix_fallocate(m_fd, 0, want)) raiseErrno(m_path, "reserve", err);
    if (m_map) ::munmap(m_map, size_t(m_mapped));
    m_map = nullptr;
    if (!m_mapFailed) {
        void* map = ::mmap(nullptr, size_t(want), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (map == MAP_FAILED)
            m_mapFailed = true;
        else
            m_map = static_cast<char*>(map);
    }
    m_mapped = want;
}

void JournalFile::append(const JournalRecord& record) {
    if (m_fd < 0) raiseError(75, QStringLiteral("the job's journal is not open"));
    char bytes[kJournalRecordSize];
    encodeRecord(bytes, m_seed, record);
    reserve(m_end + kJournalRecordSize);
    if (m_map) {
        std::memcpy(m_map + m_end, bytes, size_t(kJournalRecordSize));
    } else if (::pwrite(m_fd, bytes, size_t(kJournalRecordSize), m_end) != kJournalRecordSize) {
        raiseErrno(m_path, "write", errno ? errno : EIO);
    }
    m_end += kJournalRecordSize;
}

void JournalFile::sync() {
    if (m_fd >= 0 && ::fdatasync(m_fd) != 0) raiseErrno(m_path, "sync", errno);
}

} // namespace clonejob
