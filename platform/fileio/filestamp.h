#pragma once

#include <QString>
#include <cstdint>

namespace fileio {

// What tells one version of a file from another: a file read again later (a source whose
// bytes are copied only when the output is written) must still carry the stamp it had.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of an open descriptor, or of the file at `path`; false when it cannot be taken.
bool stampOf(int fd, FileStamp& stamp);
bool stampOf(const QString& path, FileStamp& stamp);

} // namespace fileio
