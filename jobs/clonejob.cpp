#include "jobs/clonejob.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/modgetspecialfolder.h"
#include "core/runtimeerror.h"
#include "jobs/clonelog.h"
#include "jobs/clonescan.h"
#include "pageops/apimgtopdf.h"
#include "search/filesearchpatterns.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <optional>

namespace clonejob {

namespace {

constexpr QStringView kOwner = kCloneOwner;
constexpr QStringView kOwnerWithoutTime = u" of Form frmCloneDirectory";

} // namespace

CloneJob::CloneJob(const QString& cloneFolder, CloneJobHost& host)
    : m_files(std::make_unique<CloneJobFiles>(cloneFolder)), m_host(host) {}

CloneJob::~CloneJob() = default;

QString CloneJob::OutputFolder(const QString& typed) {
    if (typed == QLatin1String("Desktop"))
        return modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_DESKTOP);
    return typed;
}

void CloneJob::ReadPvtString() {
    trap(u"ReadPvtString", kOwner, [&] { CloneRecord = m_files->readRecord(); });
}

bool CloneJob::WritePvtString() {
    return trap(u"WritePvtString", kOwner, [&] {
        JobRecord r;
        r.CLONE_PATH = m_fresh.source;
        r.OUTPUT_PATH = OutputFolder(m_fresh.output);
        r.TIME_START = QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat);
        r.TOTAL_FILE = QString::number(TotalFiles);
        r.FILE_COMPLETED = QStringLiteral("0"); // written before the pass visits anything
        r.LAST_FILEPATH = QString();
        r.STATUS = kStatusNotFinished;
        r.REPLACE_EXISTING = m_host.replaceExisting() ? QStringLiteral("1") : QStringLiteral("0");
        // On the disk with the list, when the pass starts.
        m_files->writeStartRecord(r, CloneJobFiles::Sync::Later);
    });
}

CloneJob::FreshResult CloneJob::RunFresh(const FreshJob& job) {
    m_lastRun = {};
    m_lastRun.ran = true;
    m_fresh = job;
    QString output = OutputFolder(job.output);
    if (output.trimmed().isEmpty()) output = job.source;
    const CloneTargets targets = CloneTargets::fromFolders(job.source, output);
    FreshResult result;
    result.output = targets.output;

    CloneList list;
    list.EncodColor = job.colour;
    list.EncodGraycale = job.grey;
    list.EncodBW = job.bw;

    m_host.showPhase(QStringLiteral("Searching file(s)..."));
    DoEvents();
    QStringList patterns;
    filesearch::GenerateFilterPatternArray(SearchCriteria, patterns);
    CloneScan scan(targets, patterns);
    QString leftOut; // one log line per folder or file the job leaves out
    scan.setLeftOut([&](const QString& path, const QString& reason) { leftOut += clonelog::LeftOut(path, reason); });
    scan.setStopCheck([this] { return m_host.stopRequested(); });
    scan.setPump([this] { m_host.pump(); });
    QElapsedTimer timer;
    timer.start();
    TotalFiles = scan.ScanFolderForClone(list);
    m_lastRun.listed = TotalFiles;
    DoEvents();

    if (m_host.stopRequested()) {
        m_host.showPhase(QStringLiteral("Cloning Terminated"));
        m_files->deleteList();
        m_lastRun.scanNanoseconds = timer.nsecsElapsed();
        result.outcome = Fresh::StoppedInScan;
        return result;
    }
    m_host.showPhase(QStringLiteral("Processing file(s)..."));
    if (TotalFiles == 0) {
        // Nothing replaces the stored list: an unfinished job can still be resumed.
        m_lastRun.scanNanoseconds = timer.nsecsElapsed();
        result.outcome = Fresh::NoImages;
        return result;
    }
    m_host.startProgress(TotalFiles);
    m_host.appendLog(clonelog::Header(TotalFiles, job.source));
    m_host.appendLog(leftOut);
    // The list is written once, whole, before the record says a job is under way; the pass
    // puts both on the disk before its first PDF.
    QElapsedTimer save;
    save.start();
    const bool listSaved =
        trap(u"cmdOk_Click", kOwner, [&] { m_files->saveList(list, CloneJobFiles::Sync::Later); });
    const qint64 saveNs = save.nsecsElapsed();
    m_lastRun.scanNanoseconds = timer.nsecsElapsed();
    if (!listSaved || !WritePvtString()) {
        // The job could not be made resumable: it does not start.
        m_host.appendLog(clonelog::CannotStart(m_files->cloneFolder()));
        m_host.showPhase(clonelog::EndingCaption(true));
        result.outcome = Fresh::NotStarted;
        return result;
    }
    finishPass(runPass(list, saveNs));
    result.outcome = Fresh::Ran;
    return result;
}

ClonePassResult CloneJob::runPass(CloneList& list, qint64 saveEstimate) {
    ApImgToPdf engine; // one engine for the whole pass
    CloneConverter convert = Converter;
    if (!convert) convert = engineConverter(engine);
    ClonePass pass(*m_files, m_host, convert);
    pass.setSaveFactor(SaveFactor);
    pass.setSaveEstimate(saveEstimate);
    const CloneJobFiles::Stats before = m_files->stats();
    QElapsedTimer timer;
    timer.start();
    const ClonePassResult result = pass.ProcessClone(list);
    m_lastRun.passNanoseconds = timer.nsecsElapsed();
    const CloneJobFiles::Stats& after = m_files->stats();
    m_lastRun.passWrites = {after.listSaves - before.listSaves,
                            after.recordWrites - before.recordWrites,
                            after.bytesWritten - before.bytesWritten,
                            after.nanoseconds - before.nanoseconds,
                            after.journalRecords - before.journalRecords,
                            after.syncs - before.syncs};
    m_lastRun.pass = result;
    return result;
}

void CloneJob::finishPass(const ClonePassResult& result) {
    const bool stopped = m_host.stopRequested();
    const bool terminated = stopped || result.failed;
    // A failed job stays resumable while its list can still be read.
    QString status = kStatusFinished;
    if (result.failed)
        status = m_files->loadList() ? kStatusNotFinished : kStatusFinished;
    else if (stopped)
        status = kStatusNotFinished;
    // The error log has the details; the user needs to know why the job ended early.
    if (result.failed) m_host.appendLog(clonelog::Stopped(result.failure, status == kStatusNotFinished));
    m_host.appendLog(clonelog::Ending(terminated));
    m_host.showPhase(clonelog::EndingCaption(terminated));
    // Nothing depends on these reaching the disk: the start record already reads "NOT
    // FINISHED", and a list deleted at the end is what marks a job done.
    m_files->writeProgress(result.visited, result.lastSource, status, CloneJobFiles::Sync::Later);
}

void CloneJob::ResumeLastClone() {
    m_lastRun = {};
    m_lastRun.ran = true;
    QElapsedTimer load;
    load.start();
    const bool present = m_files->listExists();
    std::optional<CloneList> list;
    QString failure;
    if (present)
        trap(u"ProcessClone", kOwnerWithoutTime, [&] {
            try {
                list = m_files->openList();
                if (!list) raiseError(91, QStringLiteral("the job list %1 cannot be read").arg(m_files->xmlPath()));
            } catch (const RuntimeError& e) {
                failure = e.description;
                list.reset();
                throw;
            }
        });
    const qint64 loadNs = load.nsecsElapsed();
    const int count = list ? int(list->files.size()) : 0;
    const int total = ParseFileCount(CloneRecord.TOTAL_FILE).value_or(count);
    m_host.startProgress(std::max(total, count));
    m_host.appendLog(clonelog::Header(total, CloneRecord.CLONE_PATH));

    ClonePassResult result;
    if (list) {
        result = runPass(*list, loadNs);
    } else if (present) {
        result.failed = true;
        result.failure = failure;
    }
    finishPass(result);
}

} // namespace clonejob
