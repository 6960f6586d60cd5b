#pragma once

// One run of the folder-clone job, without its dialog: a fresh job (scan, list and start
// record, pass) or the resume of the stored one. The host shows what the run reports and
// says when to stop; the job's files, record and figures stay here between runs.

#include "jobs/clonejobfiles.h"
#include "jobs/clonepass.h"

#include <QString>
#include <memory>

namespace clonejob {

// What a clone job drives: the dialog, or a test. Besides what the pass needs, the caption
// of the phase the job is in and the start of its count.
class CloneJobHost : public ClonePassHost {
public:
    // "Searching file(s)...", "Processing file(s)...", then how the run ended.
    virtual void showPhase(const QString& caption) = 0;
    // A pass of up to `maximum` entries begins; none is visited yet.
    virtual void startProgress(int maximum) = 0;
};

// The choices of a fresh job, read once when it starts: edits during the run change nothing.
struct FreshJob {
    QString source;          // as typed
    QString output;          // as typed; "Desktop" stands for the desktop folder
    QString colour, grey, bw; // compression names per colour class; "" keeps the source's
};

class CloneJob {
public:
    // The job's files live in `cloneFolder`.
    CloneJob(const QString& cloneFolder, CloneJobHost& host);
    ~CloneJob();

    CloneJobFiles& files() { return *m_files; }

    // The image wildcards of the job (image filter group 0).
    QString SearchCriteria;
    // The job record as last read.
    JobRecord CloneRecord;
    int TotalFiles = 0;

    // Seams: the converter (null: the image-to-PDF engine) and the save rule of the pass.
    CloneConverter Converter;
    double SaveFactor = 50;

    void ReadPvtString();
    // The start record of the running fresh job; false when it failed (logged).
    bool WritePvtString();
    // Whether the record last read names a job that can be taken up again.
    bool Resumable() const { return m_files->isResumable(CloneRecord); }

    // How a fresh job ended: its pass ran, it was stopped during the scan, the scan found
    // no image (nothing stored changed), or its files could not be written.
    enum class Fresh { Ran, StoppedInScan, NoImages, NotStarted };
    // The output folder the job's PDFs went to, once it ran.
    struct FreshResult {
        Fresh outcome = Fresh::NotStarted;
        QString output;
    };
    FreshResult RunFresh(const FreshJob& job);
    // The stored job from where it stopped.
    void ResumeLastClone();

    // What the last run did, for the benchmark.
    struct RunStats {
        bool ran = false; // a fresh job or a resume started
        int listed = 0;
        ClonePassResult pass;
        qint64 scanNanoseconds = 0;
        qint64 passNanoseconds = 0;
        CloneJobFiles::Stats passWrites; // the writes of the job's files during the pass
    };
    const RunStats& LastRun() const { return m_lastRun; }

    // The output box's text as a folder: "Desktop" stands for the desktop folder.
    static QString OutputFolder(const QString& typed);

private:
    ClonePassResult runPass(CloneList& list, qint64 saveEstimate);
    // The end of a pass: the log's last line, the phase caption and "STATUS".
    void finishPass(const ClonePassResult& result);

    std::unique_ptr<CloneJobFiles> m_files;
    CloneJobHost& m_host;
    FreshJob m_fresh; // the fresh job running
    RunStats m_lastRun;
};

} // namespace clonejob
