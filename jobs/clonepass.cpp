#include "jobs/clonepass.h"

#include "core/errortrap.h"
#include "core/filefolderscan.h"
#include "core/runtimeerror.h"
#include "jobs/clonelog.h"
#include "pageops/apimgtopdf.h"
#include "platform/fileio/filesystemsync.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace clonejob {

namespace {

// The pass's log lines carry no " at time" in their owner text.
constexpr QStringView kPassOwner = u" of Form frmCloneDirectory";

// A claim looks ahead over about a second of the pass at the pace so far (each one costs a
// sync of the journal), at least this many entries. After a power cut at most the claimed
// entries not yet vouched for are redone.
constexpr int kMinClaimWindow = 256;
constexpr int kMaxClaimWindow = 65536;
constexpr qint64 kClaimAheadNs = qint64(1000) * 1000 * 1000;
// The journal carries the statuses; folding it into the list is only worth its cost once
// it holds this many records.
constexpr quint32 kFoldRecords = 1024;

qint64 now() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.nsecsElapsed();
}

ClonePass::StepHook& stepHook() {
    static ClonePass::StepHook hook;
    return hook;
}

// The device and inode of a file (or of anything but a folder, with `anyKind`), or nothing
// when there is none.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString& path, bool anyKind = false) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    if (anyKind ? S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) return std::nullopt;
    return std::make_pair(quint64(st.st_dev), quint64(st.st_ino));
}

} // namespace

CloneConverter engineConverter(ApImgToPdf& engine) {
    return [&engine](const QString& image, const QString& pdf, const QString& colour, const QString& grey,
                     const QString& bw, bool replace, bool durable) {
        engine.SetDurableOutputs(durable);
        if (engine.ConverImageToPdf(image, pdf, colour, grey, bw, replace)) return true;
        if (engine.LastFailure().number == 61)
            raiseError(61, QStringLiteral("no space left on the disk for %1").arg(pdf));
        return false;
    };
}

ClonePass::ClonePass(CloneJobFiles& files, ClonePassHost& host, CloneConverter convert)
    : m_files(files), m_host(host), m_convert(std::move(convert)),
      m_syncFunction([](const QStringList& folders, int* number, QString* error) {
          return fileio::syncFileSystems(folders, number, error);
      }) {}

ClonePass::StepHook ClonePass::setStepHook(StepHook hook) {
    StepHook previous = std::move(stepHook());
    stepHook() = std::move(hook);
    return previous;
}

void ClonePass::step(Step s, int entry) {
    if (stepHook()) stepHook()(s, entry);
}

bool ClonePass::isMade(const QString& target) const {
    if (m_made.contains(target)) return true;
    const auto identity = m_madeFiles.empty() ? std::nullopt : fileIdentity(target);
    return identity && m_madeFiles.count(*identity) > 0;
}

void ClonePass::noteMade(const QString& target) {
    m_made.insert(target);
    if (const auto identity = fileIdentity(target)) m_madeFiles.insert(*identity);
}

void ClonePass::claim(const CloneList& list, int first, bool begin) {
    const qint64 elapsed = now() - m_passStart;
    const double perSecond = elapsed > 0 ? double(m_result.visited) * 1e9 / double(elapsed) : 0;
    const int window = int(std::clamp(perSecond * double(kClaimAheadNs) / 1e9, double(kMinClaimWindow),
                                      double(kMaxClaimWindow)));
    const int end = int(std::min(list.files.size(), size_t(first) + size_t(window)));
    QElapsedTimer lookups;
    lookups.start();
    int runStart = -1;
    const auto flush = [&](int upTo) {
        if (runStart >= 0)
            m_files.appendRecord(JournalRecord::claim(quint32(runStart), quint32(upTo - runStart)));
        runStart = -1;
    };
    // Nothing is taken in a folder that does not exist (the usual case in a new mirror): one
    // look per folder then, not one per entry.
    const QString* folder = nullptr;
    bool folderExists = false;
    const auto free = [&](const CloneFileEntry& e) {
        if (!folder || *folder != e.targetfolder) {
            folder = &e.targetfolder;
            struct stat st;
            folderExists = ::stat(QFile::encodeName(e.targetfolder).constData(), &st) == 0;
        }
        return !folderExists || !fileIdentity(e.target(), true);
    };
    for (int i = first; i < end; ++i) {
        const CloneFileEntry& e = list.files[size_t(i)];
        if (!m_claimed[size_t(i)] && e.waiting() && free(e)) {
            m_claimed[size_t(i)] = true;
            if (runStart < 0) runStart = i;
        } else {
            flush(i);
        }
    }
    flush(end);
    m_claimedUpTo = end;
    m_result.claimNanoseconds += lookups.nsecsElapsed();
    // The claim is on the disk before any PDF that relies on it is put in place.
    if (!begin || !m_files.makeDurable()) m_files.syncJournal();
    ++m_result.claims;
    step(Step::Claimed, first);
}

void ClonePass::record(int index, const QString& status, bool durable) {
    m_files.appendRecord(JournalRecord::status(quint32(index), status, durable));
    step(Step::RecordAppended, index);
}

void ClonePass::takeSyncs(CloneList& list) {
    if (!m_syncs) return;
    if (m_syncs->failed()) {
        failUnvouched(list);
        int number = 0;
        QString error;
        m_syncs->failed(&number, &error);
        raiseError(number, QStringLiteral("the PDFs made could not be written to the disk (%1)").arg(error));
    }
    const quint64 durable = m_syncs->durable();
    quint32 position = 0;
    while (!m_unvouched.empty() && m_unvouched.front().number <= durable) {
        position = m_unvouched.front().position;
        m_unvouched.pop_front();
    }
    if (position == 0) return;
    m_files.appendRecord(JournalRecord::durable(position));
    step(Step::Synced, -1);
}

void ClonePass::waitForSyncs(CloneList& list) {
    if (!m_syncs) return;
    const qint64 start = now();
    m_syncs->wait();
    m_result.syncWaitNanoseconds += now() - start;
    takeSyncs(list);
}

void ClonePass::failUnvouched(CloneList& list) {
    // A later sync may answer true without the data being there: nothing after the last good
    // one is trusted.
    while (!m_unvouched.empty()) {
        const int index = m_unvouched.front().entry;
        m_unvouched.pop_front();
        CloneFileEntry& e = list.files[size_t(index)];
        if (e.status != kStatusCompleted) continue;
        e.status = kStatusError;
        --m_result.converted;
        QFile::remove(e.target());
        quietly([&] { m_files.appendRecord(JournalRecord::status(quint32(index), kStatusError)); });
    }
}

void ClonePass::checkpoint(const CloneList& list) {
    const qint64 start = now();
    m_files.writeProgress(m_result.visited, m_result.lastSource, CloneJobFiles::Sync::Later);
    m_files.saveList(list);
    m_claimedUpTo = m_position + 1; // the new journal holds no claim
    std::fill(m_claimed.begin() + m_claimedUpTo, m_claimed.end(), false);
    m_unvouched.clear(); // all on the disk, or failed, before a checkpoint
    m_dirty = false;
    m_lastSaveEnd = now();
    m_lastSaveNs = m_lastSaveEnd - start;
    m_result.saveNanoseconds += m_lastSaveNs;
    ++m_saves;
    step(Step::Checkpoint, m_position);
}

bool ClonePass::saveDue() const {
    if (m_saveFactor <= 0) return true;
    if (m_files.journalPosition() < kFoldRecords) return false;
    // A save's time varies a lot (a sync waits for whatever else the disk has queued): the
    // mean of the saves so far keeps one quick save from bringing the next one early, and
    // the saves' share of the pass so far keeps a run of slow ones from adding up.
    const qint64 t = now();
    const qint64 mean = m_saves > 0 ? m_result.saveNanoseconds / m_saves : 0;
    return double(t - m_lastSaveEnd) >= m_saveFactor * double(std::max(m_lastSaveNs, mean)) &&
           double(t - m_passStart) >= (m_saveFactor + 1) * double(m_result.saveNanoseconds);
}

QString ClonePass::convertEntry(CloneFileEntry& e, int index, bool replace, bool& durable) {
    const QString target = e.target();
    const bool owned = m_owned[size_t(index)];
    if (isMade(target)) return kStatusAlreadyExists;
    // A target taken when it was claimed is checked again now; a claimed one is left to the
    // engine, which never replaces without `replace`.
    if (!m_claimed[size_t(index)] && !replace && FileFolderScan::IsExistingFile(target))
        return kStatusAlreadyExists;
    durable = !m_claimed[size_t(index)];
    // What an earlier pass may have left at an owned target is the job's own.
    const bool over = replace || owned;
    if (m_convert(e.source(), target, m_colour, m_grey, m_bw, over, durable)) {
        noteMade(target);
        step(Step::PdfPlaced, index);
        return kStatusCompleted;
    }
    // A PDF another program put there while the image was converted is kept.
    return !over && FileFolderScan::IsExistingFile(target) ? kStatusAlreadyExists : kStatusError;
}

void ClonePass::visit(CloneList& list, int index) {
    CloneFileEntry& e = list.files[size_t(index)];
    const QString source = e.source();
    m_host.appendLog(clonelog::Visiting(source));
    m_position = index;
    if (e.waiting()) {
        QString status;
        bool durable = false;
        if (e.targetfolder != m_lastFolder && !FileFolderScan::CreatePath(e.targetfolder)) {
            status = kStatusNoFolder;
        } else {
            m_lastFolder = e.targetfolder;
            const bool replace = m_host.replaceExisting();
            if (index >= m_claimedUpTo) claim(list, index, false);
            status = convertEntry(e, index, replace, durable);
        }
        e.status = status;
        const bool completed = status == kStatusCompleted;
        if (completed) {
            ++m_result.converted;
            // Queued before its record is written, so that whatever ends the pass now waits for
            // this PDF too before the list vouches for it.
            if (!durable) {
                m_unvouched.push_back({++m_placed, m_files.journalPosition() + 1, index});
                m_syncs->request(m_placed, e.targetfolder, e.target());
            }
        }
        record(index, status, completed && durable);
        m_host.appendLog(clonelog::Visited(status));
    } else {
        m_host.appendLog(clonelog::Visited(e.status));
    }
    m_result.lastSource = source;
    m_dirty = true;
    ++m_result.visited;
    m_host.entryVisited(m_result.visited);
}

ClonePassResult ClonePass::ProcessClone(CloneList& list) {
    m_result = {};
    m_colour = list.EncodColor;
    m_grey = list.EncodGraycale;
    m_bw = list.EncodBW;
    m_made.clear();
    m_madeFiles.clear();
    m_unvouched.clear();
    m_placed = 0;
    m_dirty = false;
    m_saves = 0;
    m_position = -1;
    m_claimedUpTo = 0;
    const size_t n = list.files.size();
    m_claimed.assign(n, false);
    m_owned.assign(n, false);
    m_lastOwned = -1;
    m_passStart = now();
    for (const CloneFileEntry& e : list.files)
        if (e.status == kStatusCompleted) noteMade(e.target());
    m_lastSaveEnd = now();
    BackgroundSync syncs(m_syncFunction);
    m_syncs = &syncs;
    const bool ok = trap(
        u"ProcessClone", kPassOwner,
        [&] {
            try {
                if (!m_files.journalOpen(n)) m_files.saveList(list, CloneJobFiles::Sync::Later);
                for (const quint32 i : m_files.lastReplay().owned) {
                    if (i >= n) continue;
                    m_claimed[i] = m_owned[i] = true;
                    m_lastOwned = int(i);
                }
                quietly([&] { m_host.showStoredEncodings(m_colour, m_grey, m_bw); });
                // Everything written for the job so far, and the first claim, reach the disk in one go.
                const auto firstWaiting = std::find_if(list.files.begin(), list.files.end(),
                                                       [](const CloneFileEntry& e) { return e.waiting(); });
                if (firstWaiting != list.files.end() && !m_host.stopRequested())
                    claim(list, int(firstWaiting - list.files.begin()), true);
                else
                    m_files.makeDurable();
                for (int i = 0; i < int(n); ++i) {
                    if (m_host.stopRequested()) break;
                    visit(list, i);
                    takeSyncs(list);
                    if (foldAllowed() && saveDue()) {
                        waitForSyncs(list);
                        checkpoint(list);
                    }
                    m_host.pump();
                    if (m_host.stopRequested()) break;
                }
                m_result.complete = m_result.visited == int(n);
                waitForSyncs(list);
                if (m_result.complete) {
                    m_files.deleteList();
                } else if (m_dirty && foldAllowed()) {
                    checkpoint(list);
                } else if (m_dirty) {
                    m_files.syncJournal();
                }
            } catch (const RuntimeError& e) {
                m_result.failureNumber = e.number;
                m_result.failure = e.description;
                throw;
            } catch (const std::exception& e) {
                m_result.failure = QString::fromLocal8Bit(e.what());
                throw;
            }
        },
        [&] {
            // What was done before the failure is kept for the resume: no PDF left unvouched
            // reads "Completed".
            quietly([&] {
                if (!m_syncs->wait()) failUnvouched(list);
                takeSyncs(list);
            });
            quietly([&] {
                if (m_dirty && foldAllowed())
                    checkpoint(list);
                else if (m_dirty)
                    m_files.syncJournal();
            });
        });
    m_result.batchSyncs = syncs.syncs();
    m_syncs = nullptr;
    m_result.failed = !ok;
    if (!ok) {
        m_result.complete = false;
        if (m_result.failure.isEmpty()) m_result.failure = QStringLiteral("an unexpected failure");
    }
    return m_result;
}

} // namespace clonejob
