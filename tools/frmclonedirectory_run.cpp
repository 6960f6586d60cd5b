// The runs of the folder-clone job: a fresh job from "&Start" (validation, scan, start
// record, pass) and the resume of a stored job, from "&Start" or when the dialog opens.
// Whatever ends a run (its end, a stop, a failure), the dialog is left idle.

#include "tools/frmclonedirectory.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modgetspecialfolder.h"
#include "core/modmasterlayout.h"
#include "core/runtimeerror.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "core/vbruntime.h"
#include "jobs/clonescan.h"
#include "pageops/apimgtopdf.h"
#include "search/filesearchpatterns.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTime>

using namespace clonejob;

namespace {

constexpr QStringView kOwner = kCloneOwner;
constexpr QStringView kOwnerWithoutTime = u" of Form frmCloneDirectory";
const QString kStartCaption = QStringLiteral("&Start");
const QString kStopCaption = QStringLiteral("Sto&p");
const QString kTerminated = QStringLiteral("terminated....");
const QString kCompleted = QStringLiteral("completed....");
const QString kNoImages = QStringLiteral("There is no supported image files in the source folder!");

// The output box's text as a folder: "Desktop" stands for the desktop folder.
QString outputFolderText(const QString& typed) {
    if (typed == QLatin1String("Desktop"))
        return modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_DESKTOP);
    return typed;
}

bool isAbsoluteFolder(const QString& folder) {
    return !folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir();
}

} // namespace

// The dialog as the pass sees it.
class frmCloneDirectory::PassHost : public ClonePassHost {
public:
    explicit PassHost(frmCloneDirectory& dialog) : d(dialog) {}
    bool stopRequested() override { return d.StopRequested; }
    bool replaceExisting() override { return d.chkReplace->checkState() != Qt::Unchecked; }
    void appendLog(const QString& text) override { d.appendLog(text); }
    void entryVisited(int filesCompleted) override {
        // The bar follows at the next pump: it repaints at once on every change, which costs
        // more than a small file's conversion.
        d.FilesCompleted = filesCompleted;
    }
    void showStoredEncodings(const QString& colour, const QString& grey, const QString& bw) override {
        d.ShowStoredEncodings(colour, grey, bw);
    }
    void pump() override { d.pump(); }

private:
    frmCloneDirectory& d;
};

// A run in progress: the close button off, the busy pointer; leaving the outermost run
// makes the dialog idle again, whatever ended it.
class frmCloneDirectory::RunScope {
public:
    explicit RunScope(frmCloneDirectory& dialog) : d(dialog) { d.enterRun(); }
    ~RunScope() { d.leaveRun(); }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    frmCloneDirectory& d;
};

void frmCloneDirectory::enterRun() {
    ++m_runDepth;
}

void frmCloneDirectory::leaveRun() {
    if (--m_runDepth > 0) return;
    // Runs while a failure unwinds: nothing here may throw.
    quietly([&] {
        flushLog();
        cmdOk->setText(kStartCaption);
        cmdCancel->setEnabled(true);
        unsetCursor();
        ProgressBar1->setValue(0);
    });
    if (m_closeRequested) {
        m_closeRequested = false;
        quietly([&] { done(QDialog::Rejected); });
    }
}

void frmCloneDirectory::appendLog(const QString& text) {
    m_pendingLog += text;
}

void frmCloneDirectory::flushLog() {
    if (m_pendingLog.isEmpty()) return;
    QString text = m_pendingLog;
    m_pendingLog.clear();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QTextCursor end(RtxtProcessingLog->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    // The insertion point at the end, so the last line shows.
    RtxtProcessingLog->setTextCursor(end);
    RtxtProcessingLog->ensureCursorVisible();
}

void frmCloneDirectory::showProgress() {
    if (!IsRunning() || FilesCompleted == ProgressBar1->value()) return;
    if (FilesCompleted > ProgressBar1->maximum()) ProgressBar1->setMaximum(FilesCompleted);
    ProgressBar1->setValue(FilesCompleted);
}

QString frmCloneDirectory::ProcessingLog() {
    flushLog();
    return RtxtProcessingLog->toPlainText();
}

// Pumping after every file would cost more than a small file's work: at most one pump per
// interval keeps the dialog just as responsive. The log and the bar repaint the dialog, so
// they follow ten times less often, which still reads as live.
void frmCloneDirectory::pump() {
    const qint64 now = m_pumpClock.elapsed();
    if (m_lastPump >= 0 && now - m_lastPump < PumpIntervalMs) return;
    m_lastPump = now;
    if (m_lastShown < 0 || now - m_lastShown >= 10 * PumpIntervalMs) {
        m_lastShown = now;
        flushLog();
        showProgress();
    }
    DoEvents();
    if (PumpHook) PumpHook();
}

bool frmCloneDirectory::askResume() {
    return Ui().MsgBox(QStringLiteral("Last Cloning Job was not completed successfully.\r\n"
                                      "Do you wants to start that again?"),
                       MsgButtons::YesNo, MsgIcon::None, kAppTitle) == MsgAnswer::Yes;
}

void frmCloneDirectory::ReadPvtString() {
    trap(u"ReadPvtString", kOwner, [&] { CloneRecord = m_files->readRecord(); });
}

bool frmCloneDirectory::WritePvtString() {
    return trap(u"WritePvtString", kOwner, [&] {
        JobRecord r;
        r.CLONE_PATH = m_startSource;
        r.OUTPUT_PATH = outputFolderText(m_startOutput);
        r.TIME_START = QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat);
        r.TOTAL_FILE = QString::number(TotalFiles);
        r.FILE_COMPLETED = QString::number(FilesCompleted);
        r.LAST_FILEPATH = QString();
        r.STATUS = kStatusNotFinished;
        r.REPLACE_EXISTING =
            chkReplace->checkState() != Qt::Unchecked ? QStringLiteral("1") : QStringLiteral("0");
        // On the disk with the list, when the pass starts.
        m_files->writeStartRecord(r, CloneJobFiles::Sync::Later);
    });
}

bool frmCloneDirectory::ValidateInput() {
    bool ok = false;
    trap(u"ValidateInput", kOwner, [&] {
        const QString output = txtoutputFld->text();
        if (output.isEmpty()) {
            Ui().MsgBox(QStringLiteral("Please select output folder to clone."), MsgButtons::OK,
                        MsgIcon::Information, kAppTitle);
            txtoutputFld->setFocus();
            return;
        }
        if (!isAbsoluteFolder(CleanFolderText(outputFolderText(output)))) {
            Ui().MsgBox(QStringLiteral("Specified output path is not valid."), MsgButtons::OK,
                        MsgIcon::Information, kAppTitle);
            txtoutputFld->setFocus();
            return;
        }
        ok = true;
    });
    return ok;
}

void frmCloneDirectory::Form_Activate() {
    if (m_offered || IsRunning()) return;
    m_offered = true;
    trap(u"Form_Activate", kOwner, [&] {
        ReadPvtString();
        if (!m_files->isResumable(CloneRecord) || !askResume()) return;
        txtCloningFrom->setText(CloneRecord.CLONE_PATH);
        txtoutputFld->setText(CloneRecord.OUTPUT_PATH);
        chkReplace->setChecked(vb::Val(CloneRecord.REPLACE_EXISTING) != 0);
        ResumeLastClone();
    });
}

void frmCloneDirectory::cmdOk_Click() {
    if (cmdOk->text() != kStartCaption || IsRunning()) {
        StopRequested = true;
        return;
    }
    RunScope run(*this);
    trap(u"cmdOk_Click", kOwner, [&] {
        StopRequested = false;
        if (!ValidateInput()) return;
        cmdOk->setText(kStopCaption);
        ReadPvtString();
        // A resume reads neither box: the stored job is offered whatever the source box holds.
        if (m_files->isResumable(CloneRecord) && askResume()) {
            cmdOk->setText(kStartCaption);
            ResumeLastClone();
            return;
        }
        // A source that is not a folder we can name for sure would list nothing.
        if (!isAbsoluteFolder(CleanFolderText(txtCloningFrom->text()))) {
            Ui().MsgBox(kNoImages, MsgButtons::OK, MsgIcon::Exclamation, kAppTitle);
            txtCloningFrom->setFocus();
            return;
        }
        runFreshJob();
    });
}

void frmCloneDirectory::runFreshJob() {
    m_lastRun = {};
    m_lastRun.ran = true;
    RtxtProcessingLog->clear();
    m_pendingLog.clear();
    cmdCancel->setEnabled(false);
    setCursor(Qt::BusyCursor);

    // The boxes are read once: edits during the run change nothing of it.
    m_startSource = txtCloningFrom->text();
    m_startOutput = txtoutputFld->text();
    QString output = outputFolderText(m_startOutput);
    if (output.trimmed().isEmpty()) output = m_startSource;
    const CloneTargets targets = CloneTargets::fromFolders(m_startSource, output);

    CloneList list;
    const auto nameOf = [](QCheckBox* box, QComboBox* names) {
        return box->checkState() != Qt::Unchecked ? names->currentText() : QString();
    };
    list.EncodColor = nameOf(chkEncodColor, cboEncodTrueColor);
    list.EncodGraycale = nameOf(chkEncodGraycale, cboEncodGraycale);
    list.EncodBW = nameOf(chkEncodBW, cboEncodBW);

    Frame3->setTitle(QStringLiteral("Searching file(s)..."));
    DoEvents();
    QStringList patterns;
    filesearch::GenerateFilterPatternArray(SearchCriteria, patterns);
    CloneScan scan(targets, patterns);
    QString leftOut; // one log line per folder or file the job leaves out
    scan.setLeftOut([&](const QString& path, const QString& reason) {
        leftOut += QStringLiteral("\r\n%1.....Left out: %2").arg(path, reason);
    });
    scan.setStopCheck([this] { return StopRequested; });
    scan.setPump([this] { pump(); });
    QElapsedTimer timer;
    timer.start();
    TotalFiles = scan.ScanFolderForClone(list);
    m_lastRun.listed = TotalFiles;
    DoEvents();

    if (StopRequested) {
        Frame3->setTitle(QStringLiteral("Cloning Terminated"));
        m_files->deleteList();
        m_lastRun.scanNanoseconds = timer.nsecsElapsed();
        return;
    }
    Frame3->setTitle(QStringLiteral("Processing file(s)..."));
    if (TotalFiles == 0) {
        // Nothing replaces the stored list: an unfinished job can still be resumed.
        m_lastRun.scanNanoseconds = timer.nsecsElapsed();
        Ui().MsgBox(kNoImages, MsgButtons::OK, MsgIcon::Exclamation, kAppTitle);
        return;
    }
    ProgressBar1->setRange(0, TotalFiles);
    ProgressBar1->setValue(0);
    FilesCompleted = 0;
    appendLog(QStringLiteral("Total Files=%1\r\nClonning_Path : %2\r\nProcessing.....")
                  .arg(TotalFiles)
                  .arg(m_startSource));
    appendLog(leftOut);
    // The list is written once, whole, before the record says a job is under way; the pass
    // puts both on the disk before its first PDF.
    QElapsedTimer save;
    save.start();
    const bool listSaved =
        trap(u"cmdOk_Click", kOwner, [&] { m_files->saveList(list, CloneJobFiles::Sync::Later); });
    const qint64 saveNs = save.nsecsElapsed();
    m_lastRun.scanNanoseconds = timer.nsecsElapsed();
    ClonePassResult result;
    if (!listSaved || !WritePvtString()) {
        // The job could not be made resumable: it does not start.
        appendLog(QStringLiteral("\r\nStopped: the job's files cannot be written in %1.")
                      .arg(m_files->cloneFolder()));
        appendLog(QStringLiteral("\r\n") + kTerminated);
        Frame3->setTitle(kTerminated);
        return;
    }
    result = runPass(list, saveNs);
    finishPass(result);

    // Every setting written rewrites the settings file on the disk: not for a value it holds.
    const uint8_t openFolder = ChkOpenFolderCloneDir->isChecked() ? 1 : 0;
    if (AppSettings && AppSettings->IsOpenFolderCloneDir() != openFolder)
        AppSettings->setIsOpenFolderCloneDir(openFolder);
    if (ChkOpenFolderCloneDir->isChecked()) {
        if (txtoutputFld->text().trimmed().isEmpty()) txtoutputFld->setText(txtCloningFrom->text());
        modMasterLayout::ShellOpen(QStringLiteral("Explore"), targets.output);
    }
}

ClonePassResult frmCloneDirectory::runPass(CloneList& list, qint64 saveEstimate) {
    PassHost host(*this);
    ApImgToPdf engine; // one engine for the whole pass
    CloneConverter convert = Converter;
    if (!convert) convert = engineConverter(engine);
    ClonePass pass(*m_files, host, convert);
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

void frmCloneDirectory::finishPass(const ClonePassResult& result) {
    const bool terminated = StopRequested || result.failed;
    // A failed job stays resumable while its list can still be read.
    QString status = kStatusFinished;
    if (result.failed)
        status = m_files->loadList() ? kStatusNotFinished : kStatusFinished;
    else if (StopRequested)
        status = kStatusNotFinished;
    // The error log has the details; the user needs to know why the job ended early.
    if (result.failed)
        appendLog(QStringLiteral("\r\nStopped: %1.%2")
                      .arg(result.failure, status == kStatusNotFinished
                                               ? QStringLiteral(" The job can be resumed.")
                                               : QString()));
    appendLog(QStringLiteral("\r\n") + (terminated ? kTerminated : kCompleted));
    Frame3->setTitle(terminated ? kTerminated : kCompleted);
    flushLog();
    // Nothing depends on these reaching the disk: the start record already reads "NOT
    // FINISHED", and a list deleted at the end is what marks a job done.
    m_files->writeProgress(result.visited, result.lastSource, status, CloneJobFiles::Sync::Later);
}

void frmCloneDirectory::ResumeLastClone() {
    if (cmdOk->text() != kStartCaption) {
        StopRequested = true;
        return;
    }
    RunScope run(*this);
    trap(u"ResumeLastClone", kOwnerWithoutTime, [&] {
        m_lastRun = {};
        m_lastRun.ran = true;
        cmdCancel->setEnabled(false);
        cmdOk->setText(kStopCaption);
        setCursor(Qt::BusyCursor);
        StopRequested = false;
        RtxtProcessingLog->clear();
        m_pendingLog.clear();

        QElapsedTimer load;
        load.start();
        const bool present = m_files->listExists();
        std::optional<CloneList> list;
        QString failure;
        if (present)
            trap(u"ProcessClone", kOwnerWithoutTime, [&] {
                try {
                    list = m_files->openList();
                    if (!list)
                        raiseError(91,
                                   QStringLiteral("the job list %1 cannot be read").arg(m_files->xmlPath()));
                } catch (const RuntimeError& e) {
                    failure = e.description;
                    list.reset();
                    throw;
                }
            });
        const qint64 loadNs = load.nsecsElapsed();
        const int count = list ? int(list->files.size()) : 0;
        const int total = ParseFileCount(CloneRecord.TOTAL_FILE).value_or(count);
        ProgressBar1->setRange(0, std::max(total, count));
        ProgressBar1->setValue(0);
        FilesCompleted = 0;
        appendLog(QStringLiteral("Total Files=%1\r\nClonning_Path : %2\r\nProcessing.....")
                      .arg(total)
                      .arg(CloneRecord.CLONE_PATH));

        ClonePassResult result;
        if (list) {
            result = runPass(*list, loadNs);
        } else if (present) {
            result.failed = true;
            result.failure = failure;
        }
        finishPass(result);
    });
}
