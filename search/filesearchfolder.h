#pragma once

// Opening and listing one folder for the search walk. The walk reaches the file system
// only through FolderReader, so tests can make a folder unreadable without changing
// permissions (the tests run as root, who reads everything).

#include "search/filesearchfinddata.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace filesearch {

struct FolderEntry {
    enum Kind : unsigned char { File, Folder, Link, Unknown, Other };
    QByteArray name; // as stored on disk
    Kind kind = Unknown;
};

// One opened folder with all its entries read (".", ".." left out).
class FolderListing {
public:
    FolderListing(int fd, std::vector<FolderEntry> entries);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    const std::vector<FolderEntry>& entries() const { return m_entries; }

    // The entry's kind, asking the file system when the listing did not say; a link is
    // reported as a link, never as what it points to.
    FolderEntry::Kind kindOf(const FolderEntry& entry) const;

    // Reads a file entry's record (links followed); false when it is gone or not a regular file.
    bool findData(const FolderEntry& entry, FindData& out) const;

private:
    int m_fd;
    std::vector<FolderEntry> m_entries;
};

class FolderReader {
public:
    virtual ~FolderReader() = default;

    // Opens and lists a folder. A link as the last part of the path is followed only when
    // `followLink` is set (the start folder), so a walk never enters a linked folder.
    // Raises RuntimeError 76 (path not found), 70 (permission denied) or 75 (other
    // access failures) when the folder cannot be opened or read.
    virtual std::unique_ptr<FolderListing> open(const QString& path, const QByteArray& nativePath,
                                                bool followLink);
};

} // namespace filesearch
