#pragma once

// The preferences dialog: the result grid's column order, visibility and stored widths,
// whether the grid's widths are saved at closing, the numeric sort of names, the window
// state applied at start and the folder the main window opens at. The caller reads
// IsPreferanceChange once the modal show has returned.

#include <QDialog>

class FlexGrid;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class frmPreferences : public QDialog {
    Q_OBJECT
public:
    // Grid columns of the column settings.
    enum { ColSr = 0, ColName = 1, ColVisible = 2, ColWidth = 3 };

    explicit frmPreferences(QWidget* parent = nullptr);

    bool IsPreferanceChange = false;

    void Form_Load();
    void FillComboBox();
    void LoadPreferenceControls();
    void InitColumnSettings();
    void chkDefaultWindowState_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdSelectAll_Click();
    void cmdDeselectAll_Click();
    void cmdInvertSelection_Click();
    void cmdStartupFolder_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdSetDefault_Click();

    QTabWidget* tabPreferences = nullptr;
    QGroupBox* fraColumnSettings = nullptr;
    FlexGrid* vsColumnSettings = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdSelectAll = nullptr;
    QPushButton* cmdDeselectAll = nullptr;
    QPushButton* cmdInvertSelection = nullptr;
    QGroupBox* fraWindowState = nullptr;
    QCheckBox* chkDefaultWindowState = nullptr;
    QComboBox* cmbDefaultWindowState = nullptr;
    QGroupBox* fraProgram = nullptr;
    QCheckBox* chkLastGridColWidth = nullptr;
    QCheckBox* chkSortbyNumeric = nullptr;
    QLabel* lblStartupFolder = nullptr;
    QLineEdit* txtStartUpFolder = nullptr;
    QPushButton* cmdStartupFolder = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSetDefault = nullptr;

private:
    void buildControls();
    void moveCurrentRow(int by);
};
