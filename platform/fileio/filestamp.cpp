#include "platform/fileio/filestamp.h"

#include <QFile>
#include <sys/stat.h>

namespace fileio {

namespace {

void fill(const struct stat& st, FileStamp& stamp) {
    stamp.device = uint64_t(st.st_dev);
    stamp.inode = uint64_t(st.st_ino);
    stamp.size = int64_t(st.st_size);
    stamp.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

} // namespace

bool stampOf(int fd, FileStamp& stamp) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    fill(st, stamp);
    return true;
}

bool stampOf(const QString& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    fill(st, stamp);
    return true;
}

} // namespace fileio
