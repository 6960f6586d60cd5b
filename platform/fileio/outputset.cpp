#include "platform/fileio/outputset.h"

#include "platform/fileio/strayfiles.h"

#include <QFile>
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

void (*g_placedHook)(int) = nullptr;

bool failWith(Failure& failure, const char* what, const QString& target, int err) {
    return failure.set(runtimeErrorForErrno(err), QStringLiteral("%1 %2: %3")
                                                      .arg(QString::fromLatin1(what), target,
                                                           QString::fromLocal8Bit(std::strerror(err))));
}

} // namespace

OutputSet::OutputSet() : m_sweepEpoch(newSweepEpoch()) {}

OutputSet::~OutputSet() { discard(); }

void OutputSet::setPlacedHook(void (*hook)(int placed)) { g_placedHook = hook; }

StagingFolder* OutputSet::stagingFor(const QByteArray& folder, int& err) {
    if (const auto it = m_stagingIndex.constFind(folder); it != m_stagingIndex.cend()) return m_staging[*it].get();
    std::unique_ptr<StagingFolder> staging = StagingFolder::create(folder, err);
    if (!staging) return nullptr;
    m_stagingIndex.insert(folder, m_staging.size());
    m_staging.push_back(std::move(staging));
    return m_staging.back().get();
}

bool OutputSet::stage(AtomicWriter& file, Failure& failure) {
    PendingFile pending;
    if (!file.stageInto(pending)) return failure.set(file.failure());
    // What a killed call left in this folder goes before this call adds its own.
    sweepFolderOnce(pending.folderPath(), m_sweepEpoch);
    // A named file waits in the staging folder, where the next writer finds it should this
    // process die; so do unnamed ones once they would use up the descriptors (a long
    // document split page by page).
    if (pending.isNamed() || (pending.holdsDescriptor() && !mayHoldDescriptors(PendingFile::descriptorsHeld()))) {
        int err = 0;
        StagingFolder* staging = stagingFor(pending.folderPath(), err);
        if (!staging || (err = pending.release(*staging)) != 0)
            return failWith(failure, "cannot create", file.target(), err);
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
    // Everything that can fail without a target changing comes first: the names in the
    // staging folders for the new files and the ones they replace, then each folder's record
    // of what its targets held.
    std::vector<std::vector<StagingFolder::Entry>> records;
    bool sync = false;
    for (PendingFile& file : m_files) {
        int err = 0;
        StagingFolder* staging = stagingFor(file.folderPath(), err);
        if (staging) err = file.prepare(*staging);
        if (err) {
            const QString target = file.target();
            discard();
            return failWith(failure, "cannot replace", target, err);
        }
        records.resize(m_staging.size());
        records[m_stagingIndex.value(file.folderPath())].push_back(file.recordEntry());
        sync = sync || file.syncRequested();
    }
    for (size_t i = 0; i < m_staging.size(); ++i) {
        if (const int err = m_staging[i]->writeRecord(records[i], sync)) {
            const QString folder = QFile::decodeName(m_staging[i]->folder());
            discard();
            return failWith(failure, "cannot write in", folder, err);
        }
    }
    // Then one rename (or link, for a free target) per file. Should one of them fail all the
    // same (an I/O error, a full folder, a file created at a free target meanwhile), those
    // already placed are taken back, newest first, and every replaced file returns. What then
    // remains possible: on a file system without hard links a replaced file has no second
    // name and cannot return (the new one stays in its place); a replaced file whose return
    // fails keeps its second name, and its staging folder stays with its record, so the next
    // writer into the folder tries again. A kill during these steps leaves the same to the
    // next writer: it takes the call back.
    for (size_t i = 0; i < m_files.size(); ++i) {
        if (const int err = m_files[i].place()) {
            bool restored = true;
            for (size_t k = i; k-- > 0;)
                restored = m_files[k].restore() && restored;
            if (!restored)
                for (auto& staging : m_staging)
                    staging->keepForRecovery();
            const QString target = m_files[i].target();
            discard();
            return failWith(failure, "cannot replace", target, err);
        }
        if (g_placedHook) g_placedHook(int(i + 1));
    }
    // Every target holds its new file: from here on there is nothing to take back.
    for (auto& staging : m_staging)
        staging->dropRecord();
    for (PendingFile& file : m_files)
        file.settle();
    discard();
    return true;
}

void OutputSet::discard() {
    m_files.clear();
    m_index.clear();
    m_staging.clear();
    m_stagingIndex.clear();
}

bool commitOrStage(AtomicWriter& file, OutputSet* outputs, Failure& failure) {
    if (outputs) return outputs->stage(file, failure);
    if (!file.commit()) return failure.set(file.failure());
    return true;
}

} // namespace fileio
