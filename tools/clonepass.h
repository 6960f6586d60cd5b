#pragma once

// The processing pass of a clone job: each waiting entry of the list becomes a PDF (or a
// status saying why not), entries handled before are only counted. The state on disk
// follows the pass: the record's progress keys and the list are saved together, after
// every entry while a save is cheap; once saves get costly, when the time since the last
// one is at least `saveFactor` times what it took (or what saves took on average, if more)
// and the saves so far are at most 1 / (saveFactor + 1) of the pass so far. So bookkeeping
// stays a small share of the pass however long the list. When the pass stops or fails, the
// list is saved before it answers (a complete list is deleted instead); the caller writes
// the last progress together with the job's status. The PDFs made are written out to the
// disk before the list or the end of the pass vouches for them, so after a power cut no
// entry reads "Completed" for a PDF whose data was still in memory.

#include "tools/clonejobfiles.h"
#include "tools/clonelist.h"

#include <QSet>
#include <QString>
#include <functional>
#include <set>
#include <utility>

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
// the conversion fails.
// A converter throws (a RuntimeError) when the job cannot go on at all: the pass then ends
// as terminated, the entry keeps no status and the job stays resumable.
using CloneConverter = std::function<bool(const QString& image, const QString& pdf, const QString& colour,
                                          const QString& grey, const QString& bw, bool replace)>;

// The image-to-PDF engine as the pass's converter. A full output disk fails every later
// image as well, so it ends the pass rather than marking the rest "Error" and finishing.
CloneConverter engineConverter(ApImgToPdf& engine);

struct ClonePassResult {
    int visited = 0;       // entries visited (handled before or now)
    int converted = 0;     // entries that became "Completed" now
    bool failed = false;   // a failure ended the pass (logged)
    bool complete = false; // every entry was visited; the list is deleted
    QString lastSource;    // the image of the entry visited last
    qint64 saveNanoseconds = 0; // spent saving the record and the list
};

class ClonePass {
public:
    ClonePass(CloneJobFiles& files, ClonePassHost& host, CloneConverter convert);

    // 0 saves after every entry.
    void setSaveFactor(double factor) { m_saveFactor = factor; }
    // What a save of this list is expected to cost before the pass has measured one
    // (the scan's save, or the load), in nanoseconds.
    void setSaveEstimate(qint64 nanoseconds) { m_lastSaveNs = nanoseconds; }

    // Runs the pass over `list`, which receives the statuses.
    ClonePassResult ProcessClone(CloneList& list);

private:
    void visit(CloneFileEntry& entry);
    void checkpoint(const CloneList& list);
    // Raises when the file systems cannot write out the PDFs made since the last call.
    void makePdfsDurable();
    bool saveDue() const;

    CloneJobFiles& m_files;
    ClonePassHost& m_host;
    CloneConverter m_convert;
    double m_saveFactor = 20;
    qint64 m_lastSaveNs = 0;
    qint64 m_lastSaveEnd = 0;
    qint64 m_passStart = 0;
    int m_saves = 0;
    ClonePassResult m_result;
    QString m_lastFolder; // the target folder made last
    // The PDFs this job made: a second image with the same target is not converted over
    // the first one's PDF. Also by the file's identity, for targets that differ as text but
    // are one file (case-insensitive disks, linked folders).
    QSet<QString> m_made;
    std::set<std::pair<quint64, quint64>> m_madeFiles;
    bool isMade(const QString& target) const;
    void noteMade(const QString& target);
    QSet<QString> m_unsyncedFolders; // where PDFs were made since they were last synced
    bool m_syncFailed = false;
    QString m_colour, m_grey, m_bw;
};

} // namespace clonejob
