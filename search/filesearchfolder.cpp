#include "search/filesearchfolder.h"

#include "core/runtimeerror.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace filesearch {

namespace {

FolderEntry::Kind kindOfType(unsigned char type) {
    switch (type) {
    case DT_REG:
        return FolderEntry::File;
    case DT_DIR:
        return FolderEntry::Folder;
    case DT_LNK:
        return FolderEntry::Link;
    case DT_UNKNOWN:
        return FolderEntry::Unknown;
    default:
        return FolderEntry::Other;
    }
}

[[noreturn]] void raiseForErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        raiseError(76);
    case EACCES:
    case EPERM:
        raiseError(70);
    default:
        raiseError(75);
    }
}

} // namespace

FolderListing::FolderListing(int fd, std::vector<FolderEntry> entries)
    : m_fd(fd), m_entries(std::move(entries)) {}

FolderListing::~FolderListing() {
    if (m_fd >= 0) ::close(m_fd);
}

FolderEntry::Kind FolderListing::kindOf(const FolderEntry& entry) const {
    if (entry.kind != FolderEntry::Unknown) return entry.kind;
    struct stat st {};
    if (fstatat(m_fd, entry.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FolderEntry::Other;
    if (S_ISREG(st.st_mode)) return FolderEntry::File;
    if (S_ISDIR(st.st_mode)) return FolderEntry::Folder;
    if (S_ISLNK(st.st_mode)) return FolderEntry::Link;
    return FolderEntry::Other;
}

bool FolderListing::findData(const FolderEntry& entry, FindData& out) const {
    return GetFindDataAt(m_fd, entry.name, out);
}

std::unique_ptr<FolderListing> FolderReader::open(const QString&, const QByteArray& nativePath,
                                                  bool followLink) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(nativePath.constData(), flags);
    if (fd < 0) raiseForErrno(errno);
    // fdopendir takes the descriptor over; keep our own copy for the per-file look-ups.
    const int listFd = ::dup(fd);
    DIR* dir = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (!dir) {
        const int err = errno;
        if (listFd >= 0) ::close(listFd);
        ::close(fd);
        raiseForErrno(err);
    }
    std::vector<FolderEntry> entries;
    errno = 0;
    while (const dirent* d = readdir(dir)) {
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        entries.push_back(
            FolderEntry{QByteArray(n, static_cast<qsizetype>(std::strlen(n))), kindOfType(d->d_type)});
    }
    const int err = errno;
    closedir(dir);
    if (err != 0) {
        ::close(fd);
        raiseForErrno(err);
    }
    // The file system's own order is a hash order on most Linux file systems; a name order
    // makes the walk (and the running count) predictable.
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return std::make_unique<FolderListing>(fd, std::move(entries));
}

} // namespace filesearch
