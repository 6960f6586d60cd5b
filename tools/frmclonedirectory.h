#pragma once

// The folder-clone dialog: source and output folders, a compression per colour class,
// three options, and the job itself behind "&Start". The job's work is done by plain code
// (jobs/clonescan.h, jobs/clonepass.h, jobs/clonejobfiles.h); the dialog reads its
// controls once when a run starts and shows what the run reports.

#include "jobs/clonejobfiles.h"
#include "jobs/clonepass.h"

#include <QDialog>
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

class frmCloneDirectory : public QDialog {
    Q_OBJECT

public:
    explicit frmCloneDirectory(QWidget* parent = nullptr);
    ~frmCloneDirectory() override;

    // --- handlers ------------------------------------------------------------------------
    void Form_Load();
    // The resume offer, once per opening, never during a run.
    void Form_Activate();
    void Form_Unload();
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

    bool IsRunning() const { return m_runDepth > 0; }
    clonejob::CloneJobFiles& JobFiles() { return *m_files; }
    // The log as it shows, lines separated by "\n".
    QString ProcessingLog();

    // The image wildcards of the job (image filter group 0).
    QString SearchCriteria;
    // The job record as last read.
    clonejob::JobRecord CloneRecord;
    bool StopRequested = false;
    int TotalFiles = 0;
    int FilesCompleted = 0;

    // What the last run did, for the benchmark.
    struct RunStats {
        bool ran = false; // a fresh job or a resume started
        int listed = 0;
        clonejob::ClonePassResult pass;
        qint64 scanNanoseconds = 0;
        qint64 passNanoseconds = 0;
        clonejob::CloneJobFiles::Stats passWrites; // the writes of the job's files during the pass
    };
    const RunStats& LastRun() const { return m_lastRun; }

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

public slots:
    // Closing during a run (close box, Escape) stops it; the dialog closes once the file in
    // hand is finished and the job's status is written.
    void done(int result) override;

protected:
    void changeEvent(QEvent* event) override;

private:
    class PassHost;
    class RunScope;
    friend class PassHost;
    friend class RunScope;

    void buildControls();
    void runFreshJob();
    clonejob::ClonePassResult runPass(clonejob::CloneList& list, qint64 saveEstimate);
    // The end of a pass: the log's last line, the phase caption and "STATUS".
    void finishPass(const clonejob::ClonePassResult& result);
    void enterRun();
    void leaveRun();
    bool askResume();
    void appendLog(const QString& text);
    void flushLog();
    void showProgress();
    void pump();

    std::unique_ptr<clonejob::CloneJobFiles> m_files;
    QStringList m_encodingNames;
    QString m_startSource; // the boxes as they read when the run started
    QString m_startOutput;
    QString m_pendingLog; // appended text not yet in the log box
    RunStats m_lastRun;
    int m_runDepth = 0;
    bool m_offered = false;
    bool m_closeRequested = false;
    bool m_unloaded = false;
    QElapsedTimer m_pumpClock;
    qint64 m_lastPump = -1;
    qint64 m_lastShown = -1; // when the log and the bar were last brought up to date
};
