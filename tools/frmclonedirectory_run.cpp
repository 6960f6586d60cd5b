// The runs of the folder-clone job as the dialog drives them: a fresh job from "&Start"
// (validation, then the job of jobs/clonejob.h) and the resume of a stored job, from
// "&Start" or when the dialog opens. The dialog shows what the job reports, and whatever
// ends a run (its end, a stop, a failure) leaves the dialog idle.

#include "tools/frmclonedirectory.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modmasterlayout.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "core/vbruntime.h"
#include "jobs/clonescan.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>

using namespace clonejob;

namespace {

constexpr QStringView kOwner = kCloneOwner;
constexpr QStringView kOwnerWithoutTime = u" of Form frmCloneDirectory";
const QString kStartCaption = QStringLiteral("&Start");
const QString kStopCaption = QStringLiteral("Sto&p");
const QString kNoImages = QStringLiteral("There is no supported image files in the source folder!");

bool isAbsoluteFolder(const QString& folder) {
    return !folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir();
}

} // namespace

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
    if (m_runDepth++ == 0) setRunning(true);
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
    // Closes the dialog now when it was closed during the run.
    setRunning(false);
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

void frmCloneDirectory::ReadPvtString() { m_job->ReadPvtString(); }

bool frmCloneDirectory::WritePvtString() { return m_job->WritePvtString(); }

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
        if (!isAbsoluteFolder(CleanFolderText(CloneJob::OutputFolder(output)))) {
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
        const JobRecord& record = m_job->CloneRecord;
        if (!m_job->Resumable() || !askResume()) return;
        txtCloningFrom->setText(record.CLONE_PATH);
        txtoutputFld->setText(record.OUTPUT_PATH);
        chkReplace->setChecked(vb::Val(record.REPLACE_EXISTING) != 0);
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
        if (m_job->Resumable() && askResume()) {
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

void frmCloneDirectory::prepareRun() {
    m_job->Converter = Converter;
    m_job->SaveFactor = SaveFactor;
    RtxtProcessingLog->clear();
    m_pendingLog.clear();
    cmdCancel->setEnabled(false);
    setCursor(Qt::BusyCursor);
}

void frmCloneDirectory::runFreshJob() {
    prepareRun();
    const auto nameOf = [](QCheckBox* box, QComboBox* names) {
        return box->checkState() != Qt::Unchecked ? names->currentText() : QString();
    };
    const CloneJob::FreshResult run = m_job->RunFresh({txtCloningFrom->text(), txtoutputFld->text(),
                                                       nameOf(chkEncodColor, cboEncodTrueColor),
                                                       nameOf(chkEncodGraycale, cboEncodGraycale),
                                                       nameOf(chkEncodBW, cboEncodBW)});
    if (run.outcome == CloneJob::Fresh::NoImages)
        Ui().MsgBox(kNoImages, MsgButtons::OK, MsgIcon::Exclamation, kAppTitle);
    if (run.outcome != CloneJob::Fresh::Ran) return;

    // Every setting written rewrites the settings file on the disk: not for a value it holds.
    const uint8_t openFolder = ChkOpenFolderCloneDir->isChecked() ? 1 : 0;
    if (AppSettings && AppSettings->IsOpenFolderCloneDir() != openFolder)
        AppSettings->setIsOpenFolderCloneDir(openFolder);
    if (ChkOpenFolderCloneDir->isChecked()) {
        if (txtoutputFld->text().trimmed().isEmpty()) txtoutputFld->setText(txtCloningFrom->text());
        modMasterLayout::ShellOpen(QStringLiteral("Explore"), run.output);
    }
}

void frmCloneDirectory::ResumeLastClone() {
    if (cmdOk->text() != kStartCaption) {
        StopRequested = true;
        return;
    }
    RunScope run(*this);
    trap(u"ResumeLastClone", kOwnerWithoutTime, [&] {
        prepareRun();
        cmdOk->setText(kStopCaption);
        StopRequested = false;
        m_job->ResumeLastClone();
    });
}
