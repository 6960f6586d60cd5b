#pragma once

// One file's directory record as the search reads it: name, size and the three dates.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace filesearch {

// A file time as the file system keeps it (seconds and nanoseconds since the epoch).
struct FileTime {
    int64_t seconds = 0;
    int32_t nanoseconds = 0;

    // The local date and time, carrying the local offset of that moment; invalid when the
    // time cannot be represented.
    QDateTime toLocal() const;
    // The local calendar day.
    QDate localDay() const;
};

struct FindData {
    QString name;     // the file name alone
    int64_t size = 0; // bytes
    FileTime created; // birth time where the file system records it, else status change
    FileTime modified;
    FileTime accessed;
    uint32_t mode = 0; // type and permission bits
    bool birthRecorded = false;

    bool isExecutable() const { return (mode & 0111u) != 0; }
};

// Reads one file's record; false when nothing is there or it is not a regular file.
// A symbolic link to a file reads as that file.
bool GetFindData(const QString& fullPath, FindData& out);

// The same, relative to an open folder; `nativeName` is the entry's name as stored.
// Leaves out.name alone: the caller has decoded the name already.
bool GetFindDataAt(int folderFd, const QByteArray& nativeName, FindData& out);

} // namespace filesearch
