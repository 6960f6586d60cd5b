#pragma once

// "Convert image to pdf": turns each handed-over file into a PDF of its own, with a
// recompression per colour class, into an output folder or beside each image. Failed
// files are listed in the error report window. The window stays open after a run.
//
// The main window fills colSelectedData, calls Form_Load and shows it modally through the
// UI seam. While a run is going, requests to close the window are ignored: the run cannot be
// stopped, and the window must outlive it.

#include "core/clscolsetordergrid.h"
#include "tools/tooldialog.h"

#include <QStringList>
#include <functional>

class FlexGrid;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

class frmConImageToPdf : public ToolDialog {
    Q_OBJECT
public:
    explicit frmConImageToPdf(QWidget* parent = nullptr);
    ~frmConImageToPdf() override;

    // The files to convert, in grid order.
    clsColSetOrderGridList colSelectedData;

    void chkEncodColor_Click();
    void chkEncodGraycale_Click();
    void chkEncodBW_Click();
    void cmdBrowseFolder_Click();
    void cmdconvert_Click();
    void cmdCancel_Click();

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

protected:
    // Form_Load: the grid, the lists and the saved choices. Form_Unload: the choices remembered.
    void load() override;
    void unload() override;

private:
    void buildControls();
    bool ValidateInput();
    QString ShowFolderSelectionDialog();
    void InitFiles();
    void FillGrid();
    void writeSettings();
    void finishRun();

    QStringList m_compressionNames;
    RunSummary m_lastRun;
};
