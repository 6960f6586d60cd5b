#include "search/filesearchfinddata.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

namespace filesearch {

namespace {

FileTime fromStatx(const struct statx_timestamp& t) {
    return FileTime{t.tv_sec, static_cast<int32_t>(t.tv_nsec)};
}

// localtime_r rather than QDateTime's local-time conversion: it is several times faster,
// which counts when every listed file needs two dates.
bool brokenDown(int64_t seconds, struct tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    return localtime_r(&t, &out) != nullptr;
}

bool readAt(int dirFd, const char* name, FindData& out) {
    struct statx st {};
    const unsigned mask =
        STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME;
    if (statx(dirFd, name, AT_STATX_SYNC_AS_STAT, mask, &st) != 0) return false;
    if (!S_ISREG(st.stx_mode)) return false;
    out.size = static_cast<int64_t>(st.stx_size);
    out.mode = st.stx_mode;
    out.modified = fromStatx(st.stx_mtime);
    out.accessed = fromStatx(st.stx_atime);
    out.birthRecorded = (st.stx_mask & STATX_BTIME) != 0;
    out.created = fromStatx(out.birthRecorded ? st.stx_btime : st.stx_ctime);
    return true;
}

} // namespace

QDateTime FileTime::toLocal() const {
    struct tm tm {};
    if (!brokenDown(seconds, tm)) return {};
    const QDate day(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    const QTime time(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, nanoseconds / 1000000);
    return QDateTime(day, time, Qt::OffsetFromUTC, static_cast<int>(tm.tm_gmtoff));
}

QDate FileTime::localDay() const {
    struct tm tm {};
    if (!brokenDown(seconds, tm)) return {};
    return QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

bool GetFindData(const QString& fullPath, FindData& out) {
    if (fullPath.isEmpty()) return false;
    const QByteArray native = QFile::encodeName(fullPath);
    if (!readAt(AT_FDCWD, native.constData(), out)) return false;
    const qsizetype slash = fullPath.lastIndexOf(QLatin1Char('/'));
    out.name = fullPath.mid(slash + 1);
    return true;
}

bool GetFindDataAt(int folderFd, const QByteArray& nativeName, FindData& out) {
    return readAt(folderFd, nativeName.constData(), out);
}

} // namespace filesearch
