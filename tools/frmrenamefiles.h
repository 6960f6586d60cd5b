#pragma once

// "Rename files using page counter": gives each handed-over file a new name that carries its
// page count, previews the new names (those already taken in the file's folder in red) and
// renames, listing what could not be renamed in the error report window. It never replaces a
// file. No menu opens it; OpenRenameFiles below is its opener.

#include "core/clscolsetordergrid.h"
#include "tools/tooldialog.h"

class FlexGrid;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmRenameFiles : public ToolDialog {
    Q_OBJECT
public:
    explicit frmRenameFiles(QWidget* parent = nullptr);
    ~frmRenameFiles() override;

    // The files to rename, one record each (PageCount is the count put into the name). Read
    // once, by Form_Load.
    clsColSetOrderGridList colSelectedData;

    // Form_Load lays the grid out and fills it; it runs once (also at the first show).
    void cmdPreview_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void OptAtChrPos1_Click();
    void OptPreAsPageCnt_Click();
    void OptSufAsPageCnt_Click();
    // Key filters: a refused character is dropped (KeyAscii set to 0).
    void txtCharPos_KeyPress(int& KeyAscii);
    void txtPaddingMask_KeyPress(int& KeyAscii);
    void txtSepAtCharPos_KeyPress(int& KeyAscii);
    void txtSepPrefix_KeyPress(int& KeyAscii);
    void txtSepSuffix_KeyPress(int& KeyAscii);

    QGroupBox* fraSetOrder = nullptr;
    FlexGrid* vsFilesSetOrder = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* OptAtChrPos1 = nullptr;
    QLineEdit* txtCharPos = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtSepAtCharPos = nullptr;
    QCheckBox* chkPrefix = nullptr;
    QCheckBox* chkSuffix = nullptr;
    QRadioButton* OptPreAsPageCnt = nullptr;
    QLineEdit* txtSepPrefix = nullptr;
    QRadioButton* OptSufAsPageCnt = nullptr;
    QLineEdit* txtSepSuffix = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtPaddingMask = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* cmdPreview = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void load() override;
    void unload() override {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void setPositionBoxesEnabled(bool position, bool prefix, bool suffix);
    void InitFiles();
    void FillGrid();
    bool validateFilenames();
};

// The opener: a renaming dialog over `files`, shown modally through the UI seam. Answers the
// dialog's result code.
int OpenRenameFiles(QWidget* owner, const clsColSetOrderGridList& files);
