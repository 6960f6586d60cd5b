#pragma once

// The export dialog: a folder, a file name, a file type and, for the types that use one,
// the column separator. The caller reads filename, OpenFile and ColumnSaperator once the
// modal show has returned; filename reads "//Cancelled//" when nothing is to be saved.

#include <QDialog>

class FolderTree;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class dlgSave : public QDialog {
    Q_OBJECT
public:
    explicit dlgSave(QWidget* parent = nullptr);

    QString filename;
    bool OpenFile = false;
    QString ColumnSaperator;

    void Form_Load();
    void FillComboBox();
    void cboFileType_Click();
    bool Validate();
    void cmdSave_Click();
    void cmdCancel_Click();
    void Form_Unload();
    // Every way the dialog closes (Save, Cancel, Escape, the close box) passes here.
    void done(int result) override;

    FolderTree* ftvFolder = nullptr;
    QLabel* lblFileName = nullptr;
    QLineEdit* txtFileName = nullptr;
    QLabel* lblFileType = nullptr;
    QComboBox* cboFileType = nullptr;
    QLabel* lblDelimeter = nullptr;
    QLineEdit* txtColSaperator = nullptr;
    QCheckBox* ChkOpenFile = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_unloaded = false;
};
