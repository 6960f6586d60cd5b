#pragma once

// "Set File Order": the second step of the main window's merge. The user puts the handed-over
// files in order, names the merged PDF and its folder, and "Con&vert" merges them into that one
// PDF, reports the outcome, opens the PDF when asked, and closes the window.
//
// The main window fills colSelectedData, points SetOrderForm at the dialog (the merge moves
// "ProgressBar1" through it), calls Form_Load and shows it modally through the UI seam. While
// a merge runs, requests to close the window are ignored: the merge cannot be stopped, and the
// window must outlive it.

#include "core/clscolsetordergrid.h"
#include "tools/setorderprogress.h"
#include "tools/tooldialog.h"

#include <cstdint>
#include <memory>

class ApImgToPdf;
class FlexGrid;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class frmSetOrder_MConTiff : public ToolDialog {
    Q_OBJECT
public:
    explicit frmSetOrder_MConTiff(QWidget* parent = nullptr);
    ~frmSetOrder_MConTiff() override;

    // The files handed over, in the result grid's order.
    clsColSetOrderGridList colSelectedData;
    // The operation asked for (3: merge into one PDF); the dialog itself never reads it.
    int32_t CommandAction = 0;

    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdBrowse_Click();
    // A refused key is dropped (KeyAscii set to 0) and the box's tool tip says why.
    void txtmanualfilename_KeyPress(int& KeyAscii);

    QGroupBox* fraSetOrder = nullptr;
    FlexGrid* vsFilesSetOrder = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtmanualfilename = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtOutputFolder = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* ChkOpenFileMConvToPDF = nullptr;
    QCheckBox* ChkDefaultPathMConvToPDF = nullptr;
    QGroupBox* Frame3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    // Form_Load: the grid and the remembered choices. Form_Unload: the choices remembered.
    void load() override;
    void unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    bool ValidateInput();
    QString ShowFolderSelectionDialog();
    void InitFiles();
    void FillGrid();
    // The merge of the rows as shown into `target`; true when the engine wrote it.
    bool mergeRows(const QString& target);
    void enableOrderControls(bool enabled);
    void rememberFolder();
    void rememberOpenFile();

    std::unique_ptr<ApImgToPdf> m_engine; // made on the first Convert
};
