#include "platform/fileio/outputset.h"

#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <sys/resource.h>

namespace fileio {

namespace {

// Descriptors open in this process.
int openDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return 64;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count - 1; // the listing's own
}

// Whether pending files may hold `held` descriptors, leaving the rest of the program (the
// sources being read, the next output, libraries) a good margin. The soft limit is raised to
// the hard one the first time the margin runs short.
bool mayHoldDescriptors(int held) {
    static std::mutex mutex;
    static rlim_t countedFor = 0;
    static int othersOpen = 0;
    const std::lock_guard lock(mutex);
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    const auto budget = [&] {
        // Counted again only when the limit changes: a count per output would cost as much
        // as the outputs held.
        if (limit.rlim_cur != countedFor) {
            othersOpen = openDescriptors() - held;
            countedFor = limit.rlim_cur;
        }
        const long long soft = (long long)std::min<rlim_t>(limit.rlim_cur, INT_MAX);
        return soft - std::max(32LL, soft / 8) - othersOpen;
    };
    if (held <= budget()) return true;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return held <= budget();
}

bool failWith(Failure& failure, const char* what, const QString& target, int err) {
    return failure.set(runtimeErrorForErrno(err), QStringLiteral("%1 %2: %3")
                                                      .arg(QString::fromLatin1(what), target,
                                                           QString::fromLocal8Bit(std::strerror(err))));
}

} // namespace

bool OutputSet::stage(AtomicWriter& file, Failure& failure) {
    PendingFile pending;
    if (!file.stageInto(pending)) return failure.set(file.errorNumber(), file.errorString());
    // Many outputs (a long document split page by page) could use up the descriptors.
    if (pending.holdsDescriptor() && !mayHoldDescriptors(PendingFile::descriptorsHeld())) {
        if (const int err = pending.release()) return failWith(failure, "cannot create", file.target(), err);
    }
    const QString key = QFileInfo(file.target()).absoluteFilePath();
    if (const auto it = m_index.constFind(key); it != m_index.cend()) {
        m_files[*it] = std::move(pending);
        return true;
    }
    m_index.insert(key, m_files.size());
    m_files.push_back(std::move(pending));
    m_paths.append(file.target());
    return true;
}

bool OutputSet::commit(Failure& failure) {
    // Everything that can fail without a target changing comes first: the hidden names
    // beside targets that exist, for the new file and for the one it replaces.
    for (PendingFile& file : m_files) {
        if (const int err = file.prepare()) {
            const QString target = file.target();
            discard();
            return failWith(failure, "cannot replace", target, err);
        }
    }
    // Then one rename (or link, for a free target) per file. Should one of them fail all the
    // same (an I/O error, a full folder, a file created at a free target meanwhile), those
    // already placed are taken back, newest first, and every replaced file returns. What then
    // remains possible: on a file system without hard links a replaced file has no second
    // name and cannot return (the new one stays in its place), and a replaced file whose
    // return fails keeps its hidden name beside the target. A kill during these steps leaves
    // some targets new and some old, and every replaced file under a hidden name.
    for (size_t i = 0; i < m_files.size(); ++i) {
        if (const int err = m_files[i].place()) {
            for (size_t k = i; k-- > 0;)
                m_files[k].restore();
            const QString target = m_files[i].target();
            discard();
            return failWith(failure, "cannot replace", target, err);
        }
    }
    for (PendingFile& file : m_files)
        file.settle();
    m_files.clear();
    m_index.clear();
    return true;
}

void OutputSet::discard() {
    m_files.clear();
    m_index.clear();
}

bool commitOrStage(AtomicWriter& file, OutputSet* outputs, Failure& failure) {
    if (outputs) return outputs->stage(file, failure);
    if (!file.commit()) return failure.set(file.errorNumber(), file.errorString());
    return true;
}

} // namespace fileio
