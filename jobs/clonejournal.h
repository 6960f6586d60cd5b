#pragma once

// The clone job's journal ("clone.journal" beside "clone.xml"): one small record per entry
// the pass decides, appended the moment it is decided, so that a kill loses no status
// without the whole list being rewritten per entry. The journal belongs to one list: its
// header names the list's size and checksum, and a journal that does not match the list is
// ignored. Checkpoints fold the journal into the list and start a new one.
//
// Records:
//   Status  entry i now has this status (a later record for the same entry wins);
//   Claim   entries i..i+n-1 had no file at their targets when the pass claimed them: their
//           PDFs may be put in place before they reach the disk, and the resume may write
//           over whatever it finds there (a PDF this job may have left incomplete);
//   Durable every PDF vouched for by the records before position p has reached the disk.
//
// What survives what: a killed process leaves every record it wrote, and the PDFs they
// name, in the system's cache, so on the same boot every record is trusted. After a
// restart (a power cut) a "Completed" that no Durable record covers is not: its PDF may
// never have reached the disk, so the entry waits again and, being claimed, is redone over
// whatever is at its target. The reader takes the longest run of sound records and ignores
// the rest (a record torn by a kill, garbage).

#include "jobs/clonelist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace clonejob {

struct JournalHeader {
    quint64 listSize = 0; // bytes of the list the journal extends
    quint32 listCrc = 0;  // their CRC-32
    quint32 entries = 0;  // entries of that list
    QByteArray bootId;    // the system's boot the journal was written in ("" unknown)
};

struct JournalRecord {
    enum Kind : quint8 { Status = 1, Claim = 2, Durable = 3 };
    Kind kind = Status;
    quint8 code = 0;   // Status: the status's code (see statusCode), plus kWrittenDurably
    quint32 index = 0; // Status: the entry; Claim: the first entry
    quint32 value = 0; // Claim: how many entries; Durable: the position it vouches up to

    // The PDF of a Status record reached the disk before the record was written.
    static constexpr quint8 kWrittenDurably = 0x80;

    static JournalRecord status(quint32 entry, const QString& text, bool durably = false);
    static JournalRecord claim(quint32 first, quint32 count) { return {Claim, 0, first, count}; }
    static JournalRecord durable(quint32 position) { return {Durable, 0, 0, position}; }
    bool operator==(const JournalRecord&) const = default;
};

inline constexpr qsizetype kJournalHeaderSize = 64;
inline constexpr qsizetype kJournalRecordSize = 16;

// 1 to 4 for the four result texts, 0 for anything else.
quint8 statusCode(const QString& text);
QString statusText(quint8 code);

// The header a journal of the list written as `listBytes` carries.
JournalHeader journalHeaderFor(QByteArrayView listBytes, quint32 entries, const QByteArray& bootId);
bool sameList(const JournalHeader& a, const JournalHeader& b);

QByteArray journalHeaderBytes(const JournalHeader& header);
// A record is sealed with its header's checksum, so one journal's records never pass for another's.
QByteArray journalRecordBytes(const JournalHeader& header, const JournalRecord& record);

struct ParsedJournal {
    JournalHeader header;
    std::vector<JournalRecord> records; // the sound records from the start, in order
};

// Nothing when the header is damaged. Reading stops at the first record that is not sound:
// a bad checksum, an unknown kind, an entry past the list, a Durable mark ahead of itself.
std::optional<ParsedJournal> parseJournal(QByteArrayView bytes);

struct JournalReplay {
    int statuses = 0;             // entries that took their status from the journal
    std::vector<quint32> owned;   // claimed entries still waiting, ascending
    QStringList unvouchedFolders; // folders of trusted PDFs not yet known to be on the disk
};

// Applies the journal's statuses to the waiting entries of `list` (whose journal it must be)
// by the rules above; `bootId` is the current boot's.
JournalReplay replayJournal(CloneList& list, const ParsedJournal& journal, const QByteArray& bootId);

// This boot of the system, "" where it cannot be told.
QByteArray currentBootId();

// Appends records to a journal file. The file grows in steps whose room is reserved ahead
// (a full disk fails the step, not a record), and records are stored through a shared
// mapping, so an append costs no system call yet is in the system's cache at once.
class JournalFile {
public:
    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Opens `path`, whose sound content ends at byte `end`, for appending. Raises on failure.
    void open(const QString& path, const JournalHeader& header, qint64 end);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    void append(const JournalRecord& record); // raises on failure
    void sync();                              // the records so far on the disk; raises
    quint32 records() const { return quint32((m_end - kJournalHeaderSize) / kJournalRecordSize); }
    quint32 entries() const { return m_entries; } // of the list the journal belongs to

private:
    void reserve(qint64 bytes);

    QString m_path;
    quint32 m_seed = 0; // the header's checksum, which seals every record
    quint32 m_entries = 0;
    int m_fd = -1;
    char* m_map = nullptr;
    qint64 m_mapped = 0; // bytes mapped and reserved in the file
    qint64 m_end = 0;
    bool m_mapFailed = false; // written with pwrite instead
};

} // namespace clonejob
