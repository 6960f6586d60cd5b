#include "platform/fileio/strayfiles.h"

#include "platform/fileio/hiddenname.h"
#include "platform/fileio/stagingfolder.h"

#include <QHash>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fileio {

namespace {

std::atomic<quint64> g_epoch{1};
std::mutex g_sweptMutex;
QHash<QByteArray, quint64> g_swept; // folder -> epoch of its last sweep

void removeIfStale(const QByteArray& path) {
    // O_NONBLOCK: a FIFO named like ours must not stall the writer.
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockHiddenEntry(fd, path) == 0) ::unlink(path.constData());
    ::close(fd);
}

void sweepFolder(const QByteArray& folder) {
    std::vector<std::pair<QByteArray, HiddenKind>> found;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const HiddenKind kind = hiddenKindOf(entry->d_name);
        if (kind != HiddenKind::None) found.emplace_back(folder + '/' + entry->d_name, kind);
    }
    ::closedir(dir);
    for (const auto& [path, kind] : found) {
        if (kind == HiddenKind::File)
            removeIfStale(path);
        else
            recoverStagingFolder(path, folder);
    }
}

} // namespace

bool locksUnsupported(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == EINVAL || err == ENOSYS; }

int lockHiddenEntry(int fd, const QByteArray& path) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EINTR ? EWOULDBLOCK : errno;
    struct stat held {}, named {};
    if (::fstat(fd, &held) != 0 || ::lstat(path.constData(), &named) != 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev) {
        ::flock(fd, LOCK_UN);
        return ENOENT;
    }
    return 0;
}

quint64 newSweepEpoch() { return ++g_epoch; }

void sweepFolderOnce(const QByteArray& folder, quint64 since) {
    {
        const std::lock_guard lock(g_sweptMutex);
        const auto it = g_swept.constFind(folder);
        if (it != g_swept.cend() && *it >= since) return;
        // Forgetting folders only costs another sweep of each.
        if (g_swept.size() >= 4096) g_swept.clear();
        g_swept.insert(folder, g_epoch.load());
    }
    sweepFolder(folder);
}

} // namespace fileio
