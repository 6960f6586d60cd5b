#pragma once

// The files of the clone job in the "Clone" folder of the data folder: the job record
// "Clone.ini" (one [CLONE] section of eight keys), the list "clone.xml" and the list's
// journal "clone.journal" (jobs/clonejournal.h), which carries the statuses decided since
// the list was last written. Every whole write replaces its file atomically, so a kill or a
// power cut leaves either the earlier or the new file, never a part of one; a write asked
// to sync is on the disk before it answers, the others once makeDurable() answers. A failed
// write raises RuntimeError with the real cause (61 for a full disk).

#include "jobs/clonejournal.h"
#include "jobs/clonelist.h"

#include <QString>
#include <functional>
#include <optional>

namespace clonejob {

// The owner text of the clone job's error-log lines.
inline constexpr QStringView kCloneOwner = u" of Form frmCloneDirectory at time";

inline const QString kStatusNotFinished = QStringLiteral("NOT FINISHED");
inline const QString kStatusFinished = QStringLiteral("FINISHED");

// The job record, one text per key of "Clone.ini".
struct JobRecord {
    QString CLONE_PATH;
    QString OUTPUT_PATH;
    QString TIME_START;
    QString TOTAL_FILE;
    QString FILE_COMPLETED;
    QString LAST_FILEPATH;
    QString STATUS;
    QString REPLACE_EXISTING = QStringLiteral("0");
};

// "TOTAL_FILE" as a count: a decimal number from 0 to 2147483647, nothing else.
std::optional<int> ParseFileCount(const QString& text);

class CloneJobFiles {
public:
    // The files live in `cloneFolder` (the "Clone" folder of the data folder).
    explicit CloneJobFiles(QString cloneFolder);

    const QString& cloneFolder() const { return m_folder; }
    QString iniPath() const;
    QString xmlPath() const;
    QString journalPath() const;

    // Makes sure the folder and "Clone.ini" exist (an empty one is created), then reads
    // all eight keys; a missing key reads "" ("0" for "REPLACE_EXISTING").
    JobRecord readRecord();
    // Whether a write is on the disk before it answers, or once makeDurable() answers.
    enum class Sync { Now, Later };

    // The start record: all eight keys in one rewrite, in the record's order.
    void writeStartRecord(const JobRecord& record, Sync sync = Sync::Now);
    // "FILE_COMPLETED" and "LAST_FILEPATH" in one rewrite, and with "STATUS" at the end of
    // a pass.
    void writeProgress(int filesCompleted, const QString& lastFilePath, Sync sync = Sync::Now);
    void writeProgress(int filesCompleted, const QString& lastFilePath, const QString& status,
                       Sync sync = Sync::Now);

    bool listExists() const;
    // The list as stored, with its journal's statuses over it; nothing when it cannot be read.
    std::optional<CloneList> loadList() const;
    // The same, for a pass to go on with: the journal is written anew for this boot, with the
    // statuses it gave (their PDFs synced first) and the claims of entries still waiting;
    // lastReplay() tells what it held.
    std::optional<CloneList> openList();
    const JournalReplay& lastReplay() const { return m_replay; }
    // The list whole and a new, empty journal for it, open for appending: a fresh job, and a
    // checkpoint that folds the journal into the list. With `sync` the list is on the disk
    // before the journal that replaces the old one is written.
    void saveList(const CloneList& list, Sync sync = Sync::Now);
    // Deletes the list and its journal.
    void deleteList();

    // The journal of the list saved or opened last. A record is in the system's cache once
    // appended; syncJournal() puts the records so far on the disk.
    void appendRecord(const JournalRecord& record);
    void syncJournal();
    quint32 journalPosition() const { return m_journal.records(); }
    // Whether the journal of a list of `entries` entries is open.
    bool journalOpen(size_t entries) const { return m_journal.isOpen() && m_journal.entries() == entries; }
    // Puts every write made without a sync on the disk (one sync of the file system); false
    // when there was none.
    bool makeDurable();

    // The job can be resumed: "STATUS" reads "NOT FINISHED" and the list exists.
    bool isResumable(const JobRecord& record) const;

    // What the writes cost so far.
    struct Stats {
        int listSaves = 0;
        int recordWrites = 0;
        qint64 bytesWritten = 0;
        qint64 nanoseconds = 0; // time spent writing the files, journal records and syncs included
        int journalRecords = 0;
        int syncs = 0; // syncs of the journal or of the folder asked for here
    };
    const Stats& stats() const { return m_stats; }
    void resetStats() { m_stats = {}; }

    // Test seam: called once the new content of a file is complete in its temporary file
    // and before it replaces the file. A crash test kills the process here; a failure test
    // makes the commit fail.
    enum class SavedFile { Record, List, Journal };
    using SaveHook = std::function<void(SavedFile file)>;
    static SaveHook setSaveHook(SaveHook hook);

private:
    void writeRecordKeys(const QList<std::pair<QString, QString>>& values, Sync sync);
    void commit(const QString& path, const QByteArray& bytes, SavedFile file, bool sync);
    // Writes a journal for the list written as `listBytes`, holding `records`, and opens it.
    void startJournal(QByteArrayView listBytes, quint32 entries, const std::vector<JournalRecord>& records,
                      bool sync);
    std::optional<CloneList> readList(QByteArray* listBytes, std::optional<ParsedJournal>* journal) const;

    QString m_folder;
    Stats m_stats;
    JournalFile m_journal;
    JournalReplay m_replay;
    bool m_unsynced = false; // written without a sync since the last makeDurable()
};

} // namespace clonejob
