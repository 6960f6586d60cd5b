#pragma once

// The folder-clone dialog: source and output folders, a compression per colour class,
// three options, and the job itself behind "&Start". The job's work is done by plain code
// (jobs/clonejob.h); the dialog reads its controls once when a run starts and shows what
// the run reports.

#include "jobs/clonejob.h"
#include "tools/tooldialog.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class frmCloneDirectory : public ToolDialog {
    Q_OBJECT

public:
    explicit frmCloneDirectory(QWidget* parent = nullptr);
    ~frmCloneDirectory() override;

    // --- handlers ------------------------------------------------------------------------
    // Form_Load runs as the dialog is made, Form_Unload as it closes (see ToolDialog).
    // The resume offer, once per opening, never during a run.
    void Form_Activate();
    void chkEncodColor_Click();
    void chkEncodGraycale_Click();
    void chkEncodBW_Click();
    void cmdBrwCloneFld_Click();
    void cmdBrwOutFld_Click();
    // Starts the job, or asks the running one to stop.
    void cmdOk_Click();
    void cmdCancel_Click();

    // --- the job ---------------------------------------------------------------------------
    void ReadPvtString();
    // The start record from the folders read when the run started; false when it failed (logged).
    bool WritePvtString();
    bool ValidateInput();
    void ResumeLastClone();
    void ShowStoredEncodings(const QString& colour, const QString& grey, const QString& bw);

    bool IsRunning() const { return Running(); }
    clonejob::CloneJob& Job() { return *m_job; }
    clonejob::CloneJobFiles& JobFiles() { return m_job->files(); }
    // The log as it shows, lines separated by "\n".
    QString ProcessingLog();

    // Set by "Sto&p" and by closing during a run; the job asks it between files.
    bool StopRequested = false;
    // The files visited so far, as the bar shows them at the next pump.
    int FilesCompleted = 0;

    // What the last run did, for the benchmark.
    using RunStats = clonejob::CloneJob::RunStats;
    const RunStats& LastRun() const { return m_job->LastRun(); }

    // Seams: the converter (null: the image-to-PDF engine), the save rule of the pass, the
    // least time between two event pumps in milliseconds, and a call after every pump.
    clonejob::CloneConverter Converter;
    double SaveFactor = 50;
    int PumpIntervalMs = 10;
    std::function<void()> PumpHook;

    // --- controls ----------------------------------------------------------------------------
    QGroupBox* Frame2 = nullptr;
    QComboBox* cboEncodTrueColor = nullptr;
    QCheckBox* chkEncodColor = nullptr;
    QCheckBox* chkEncodBW = nullptr;
    QCheckBox* chkEncodGraycale = nullptr;
    QComboBox* cboEncodBW = nullptr;
    QComboBox* cboEncodGraycale = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* ChkOpenFolderCloneDir = nullptr;
    QCheckBox* ChkDefaultPathCloneDir = nullptr;
    QCheckBox* chkReplace = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtCloningFrom = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* txtoutputFld = nullptr;
    QPushButton* cmdBrwCloneFld = nullptr;
    QPushButton* cmdBrwOutFld = nullptr;
    QFrame* Frame4 = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;
    QGroupBox* Frame3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPlainTextEdit* RtxtProcessingLog = nullptr;

protected:
    void load() override;
    void unload() override;
    // Closing during a run (close box, Escape) stops it; the dialog closes once the file in
    // hand is finished and the job's status is written.
    bool stopRunToClose() override;
    void changeEvent(QEvent* event) override;

private:
    class JobHost;
    class RunScope;
    friend class JobHost;
    friend class RunScope;

    void buildControls();
    void makeJob();
    void runFreshJob();
    // The seams handed to the job, the log emptied, the close button off, the busy pointer.
    void prepareRun();
    void enterRun();
    void leaveRun();
    bool askResume();
    void appendLog(const QString& text);
    void flushLog();
    void showProgress();
    void pump();

    std::unique_ptr<JobHost> m_host;
    std::unique_ptr<clonejob::CloneJob> m_job;
    QStringList m_encodingNames;
    QString m_pendingLog; // appended text not yet in the log box
    int m_runDepth = 0;
    bool m_offered = false;
    QElapsedTimer m_pumpClock;
    qint64 m_lastPump = -1;
    qint64 m_lastShown = -1; // when the log and the bar were last brought up to date
};
