#pragma once

// The two files of the clone job in the "Clone" folder of the data folder: the job record
// "Clone.ini" (one [CLONE] section of eight keys) and the list "clone.xml". Every write
// replaces its file atomically and is synced before it answers, so a kill or a power cut
// leaves either the earlier or the new file, never a part of one. A failed write raises
// RuntimeError with the real cause (61 for a full disk).

#include "tools/clonelist.h"

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

    // Makes sure the folder and "Clone.ini" exist (an empty one is created), then reads
    // all eight keys; a missing key reads "" ("0" for "REPLACE_EXISTING").
    JobRecord readRecord();
    // The start record: all eight keys in one rewrite, in the record's order.
    void writeStartRecord(const JobRecord& record);
    // "FILE_COMPLETED" and "LAST_FILEPATH" in one rewrite, and with "STATUS" at the end of
    // a pass.
    void writeProgress(int filesCompleted, const QString& lastFilePath);
    void writeProgress(int filesCompleted, const QString& lastFilePath, const QString& status);

    bool listExists() const;
    std::optional<CloneList> loadList() const;
    void saveList(const CloneList& list);
    void deleteList();

    // The job can be resumed: "STATUS" reads "NOT FINISHED" and the list exists.
    bool isResumable(const JobRecord& record) const;

    // What the writes cost so far.
    struct Stats {
        int listSaves = 0;
        int recordWrites = 0;
        qint64 bytesWritten = 0;
        qint64 nanoseconds = 0; // time spent writing both files
    };
    const Stats& stats() const { return m_stats; }
    void resetStats() { m_stats = {}; }

    // Test seam: called once the new content of a file is complete in its temporary file
    // and before it replaces the file, with `list` true for "clone.xml". A crash test kills
    // the process here; a failure test makes the commit fail.
    using SaveHook = std::function<void(bool list)>;
    static SaveHook setSaveHook(SaveHook hook);

private:
    void writeRecordKeys(const QList<std::pair<QString, QString>>& values);
    void commit(const QString& path, const QByteArray& bytes, bool list);

    QString m_folder;
    Stats m_stats;
};

} // namespace clonejob
