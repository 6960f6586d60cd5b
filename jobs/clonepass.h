#pragma once

// The processing pass of a clone job: each waiting entry of the list becomes a PDF (or a
// status saying why not), entries handled before are only counted.
//
// What a kill or a power cut can cost:
// - Every status is appended to the list's journal the moment it is decided, so a kill
//   loses at most the entry in hand. Checkpoints fold the journal into the list, rarely
//   enough (see setSaveFactor) that rewriting the list stays a small share of the pass.
// - PDFs are put in place without waiting for the disk and made durable in batches by a
//   sync on another thread (jobs/clonesync.h); a Durable record in the journal then vouches
//   for them. After a power cut a "Completed" that no Durable record covers is redone.
// - A PDF is only written that way over a target the journal claimed beforehand, on the
//   disk, as free: so after a power cut a target that holds an incomplete PDF and no status
//   is known to be the job's own, and the resume writes over it instead of reading it as
//   "Already Exists". A target that was taken when claimed (Replace on) gets its PDF on
//   the disk before it is put in place, as before.
// When the pass stops or fails, the PDFs made are on the disk and the journal too (folded
// into the list when it can be) before it answers; a complete list and its journal are
// deleted. The caller writes the last progress together with the job's status.

#include "jobs/clonejobfiles.h"
#include "jobs/clonelist.h"
#include "jobs/clonesync.h"

#include <QSet>
#include <QString>
#include <deque>
#include <functional>
#include <set>
#include <utility>
#include <vector>

class ApImgToPdf;

namespace clonejob {

// What the pass drives: the dialog, or a test.
class ClonePassHost {
public:
    virtual ~ClonePassHost() = default;
    virtual bool stopRequested() = 0;
    // "Replace e&xisting file", read for every file.
    virtual bool replaceExisting() = 0;
    virtual void appendLog(const QString& text) = 0;
    // After each visited entry, with the count of entries visited so far.
    virtual void entryVisited(int filesCompleted) = 0;
    // The job's compression names, once the list is loaded.
    virtual void showStoredEncodings(const QString& colour, const QString& grey, const QString& bw) = 0;
    // Lets the window live between entries.
    virtual void pump() = 0;
};

// One image into one PDF with the job's compression names; true when the PDF was made.
// Without `replace` a file found at the target when the PDF is put in place is kept and
// the conversion fails. With `durable` the PDF is on the disk before it is put in place.
// A converter throws (a RuntimeError) when the job cannot go on at all: the pass then ends
// as failed, the entry keeps no status and the job stays resumable.
using CloneConverter =
    std::function<bool(const QString& image, const QString& pdf, const QString& colour, const QString& grey,
                       const QString& bw, bool replace, bool durable)>;

// The image-to-PDF engine as the pass's converter. A full output disk fails every later
// image as well, so it ends the pass rather than marking the rest "Error" and finishing.
CloneConverter engineConverter(ApImgToPdf& engine);

struct ClonePassResult {
    int visited = 0;       // entries visited (handled before or now)
    int converted = 0;     // entries that became "Completed" now
    bool failed = false;   // a failure ended the pass (logged)
    bool complete = false; // every entry was visited; the list is deleted
    int failureNumber = 0; // what ended a failed pass
    QString failure;
    QString lastSource;             // the image of the entry visited last
    qint64 saveNanoseconds = 0;     // spent folding the journal into the list
    int claims = 0;                 // claims written (each one sync of the journal)
    qint64 claimNanoseconds = 0;    // spent looking at the targets a claim covers
    int batchSyncs = 0;             // syncs of the PDFs, on the sync thread
    qint64 syncWaitNanoseconds = 0; // the pass waited for those
};

class ClonePass {
public:
    ClonePass(CloneJobFiles& files, ClonePassHost& host, CloneConverter convert);

    // A checkpoint folds the journal into the list once the journal is long enough to be
    // worth it, the time since the last one is at least `factor` times what it took, and
    // checkpoints so far are at most 1 / (factor + 1) of the pass. 0 folds after every entry.
    void setSaveFactor(double factor) { m_saveFactor = factor; }
    // What a checkpoint of this list is expected to cost before the pass has measured one
    // (the scan's save, or the load), in nanoseconds.
    void setSaveEstimate(qint64 nanoseconds) { m_lastSaveNs = nanoseconds; }

    // Test seam: what makes a batch of PDFs durable (fileio::syncFileSystems).
    void setSyncFunction(BackgroundSync::SyncFunction sync) { m_syncFunction = std::move(sync); }

    // Test seam: called right after each step of the pass, so that a crash test can kill
    // the process exactly there. `entry` is the entry the step concerns (-1 for none).
    enum class Step { Claimed, PdfPlaced, RecordAppended, Synced, Checkpoint };
    using StepHook = std::function<void(Step step, int entry)>;
    static StepHook setStepHook(StepHook hook);

    // Runs the pass over `list`, which receives the statuses. The list's journal is the one
    // the job files opened last (a list never saved is saved first).
    ClonePassResult ProcessClone(CloneList& list);

private:
    void visit(CloneList& list, int index);
    QString convertEntry(CloneFileEntry& e, int index, bool replace, bool& durable);
    void record(int index, const QString& status, bool durable);
    // Claims the free targets of the waiting entries from `first` on, then makes the claim
    // durable (with everything else written so far when `begin`).
    void claim(const CloneList& list, int first, bool begin);
    // Durable marks for the syncs that ended; raises when one failed.
    void takeSyncs(CloneList& list);
    void waitForSyncs(CloneList& list);
    // After a failed sync: every "Completed" no sync vouched for is an error, its PDF removed.
    void failUnvouched(CloneList& list);
    void checkpoint(const CloneList& list);
    // Where the journal can be folded: no entry of an earlier pass is left to redo.
    bool foldAllowed() const { return m_position > m_lastOwned; }
    bool saveDue() const;
    void step(Step s, int entry);

    CloneJobFiles& m_files;
    ClonePassHost& m_host;
    CloneConverter m_convert;
    BackgroundSync::SyncFunction m_syncFunction;
    BackgroundSync* m_syncs = nullptr; // the pass's, while it runs
    double m_saveFactor = 50;
    qint64 m_lastSaveNs = 0;
    qint64 m_lastSaveEnd = 0;
    qint64 m_passStart = 0;
    int m_saves = 0;
    ClonePassResult m_result;
    QString m_lastFolder; // the target folder made last

    // Claims: targets free when claimed, or left by an earlier pass (owned: written over).
    std::vector<bool> m_claimed;
    std::vector<bool> m_owned;
    int m_claimedUpTo = 0; // entries before this were looked at by a claim
    int m_lastOwned = -1;
    int m_position = -1; // the entry visited last

    // PDFs placed without a sync, numbered from 1, whose records no Durable record covers yet.
    struct Unvouched {
        quint64 number;   // the PDF's number for the sync thread
        quint32 position; // the journal's position after its record
        int entry;
    };
    std::deque<Unvouched> m_unvouched;
    quint64 m_placed = 0;
    bool m_dirty = false; // entries visited since the list was last written

    // The PDFs this job made: a second image with the same target is not converted over
    // the first one's PDF. Also by the file's identity, for targets that differ as text but
    // are one file (case-insensitive disks, linked folders).
    QSet<QString> m_made;
    std::set<std::pair<quint64, quint64>> m_madeFiles;
    bool isMade(const QString& target) const;
    void noteMade(const QString& target);
    QString m_colour, m_grey, m_bw;
};

} // namespace clonejob
