#pragma once

// "Convert image to pdf": turns each handed-over file into a PDF of its own, with a
// recompression per colour class, into an output folder or beside each image. Failed
// files are listed in the error report window. The window stays open after a run.
//
// The main window fills colSelectedData, calls Form_Load and shows it modally through the
// UI seam. While a run is going, requests to close the window are ignored: the run cannot be
// stopped, and the window must outlive it.

#include "core/clscolsetordergrid.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class FlexGrid;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

class frmConImageToPdf : public QDialog {
    Q_OBJECT
public:
    explicit frmConImageToPdf(QWidget* parent = nullptr);
    ~frmConImageToPdf() override;

    // The files to convert, in grid order.
    clsColSetOrderGridList colSelectedData;

    // Sets the grid, the lists and the saved choices up; runs once (also at the first show).
    void Form_Load();
    void chkEncodColor_Click();
    void chkEncodGraycale_Click();
    void chkEncodBW_Click();
    void cmdBrowseFolder_Click();
    void cmdconvert_Click();
    void cmdCancel_Click();
    // Writes the remembered choices; runs on every close.
    void Form_Unload();

    bool Running() const { return m_running; }

    // What the last run did.
    struct RunSummary {
        int converted = 0, skipped = 0;
        QStringList failed; // source paths
    };
    const RunSummary& LastRun() const { return m_lastRun; }

    // For tests: called on this thread once per file of a run, while the run goes on.
    std::function<void()> RunPumpHook;

    QGroupBox* fraSetOrder = nullptr;
    FlexGrid* vsFilesSetOrder = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* chkEncodColor = nullptr;
    QComboBox* cboEncodTrueColor = nullptr;
    QCheckBox* chkEncodGraycale = nullptr;
    QComboBox* cboEncodGraycale = nullptr;
    QCheckBox* chkEncodBW = nullptr;
    QComboBox* cboEncodBW = nullptr;
    QGroupBox* FraFileopen = nullptr;
    QCheckBox* chkReplace = nullptr;
    QLineEdit* txtOutputFolder = nullptr;
    QPushButton* cmdBrowseFolder = nullptr;
    QCheckBox* ChkDefaultPathConImgTiff = nullptr;
    QCheckBox* ChkOpenFolderConImgTiff = nullptr;
    QGroupBox* Frame3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* cmdConvert = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void reject() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    bool ValidateInput();
    QString ShowFolderSelectionDialog();
    void InitFiles();
    void FillGrid();
    void writeSettings();
    void finishRun();

    QStringList m_compressionNames;
    bool m_loaded = false;
    bool m_running = false;
    bool m_unloaded = false;
    RunSummary m_lastRun;
};
