#pragma once

// The main window: the folder tree, the result grid and the search options, each in a
// docked pane, with the status bar below. Loading it builds the panes, sets the grid up,
// opens the start folder and restores the window's state; closing it saves the state,
// the rectangle and the grid's column widths.

#include "gui/widgets/filetypeicons.h"
#include "platform/shell/filetypes.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

class cSizeMoveHelper;
class FlexGrid;
class FolderTree;
class frmLoading;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDockWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QAction;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QWidget;

namespace filesearch {
struct FindData;
}

class frmMain : public QMainWindow {
    Q_OBJECT

public:
    // Pane identities.
    enum PaneId { PaneFolders = 1, PaneOptions = 2, PaneSearchList = 3, PaneAdvanceOptions = 4 };

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // --- window ------------------------------------------------------------------------
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void Form_Unload();
    void Form_KeyDown(int KeyCode, int Shift);
    void SetWindowState();
    // The one rule the drag end, the resize and the close share.
    void SaveWindowGeometry();
    // Ticks every row whose name equals, ignoring case, the name of a command-line file.
    void CheckCommandLineFiles(const QStringList& files);

    void m_c_ExitSizeMove();
    void m_c_Moving(int& lLeft, int& lTop, int& lWidth, int& lHeight);
    void m_c_Sizing(int& lLeft, int& lTop, int& lWidth, int& lHeight);

    // How long after the first show the panes follow the window's size as it settles (the
    // tree a quarter of the width); from then on the tree keeps its width.
    int StartSettleMs = 2000;

    int ActivationCount() const { return m_activationCount; }
    bool TracksGeometry() const { return m_trackGeometry; }
    QDockWidget* Pane(int id) const;

    // --- search options ------------------------------------------------------------------
    void FillComboBoxes();
    void chkSearchByDate_Click();
    void chkSearchBySize_Click();
    void cboFilterPattern_Click();
    void ftvFolder_SelectionChange();

    // --- search ----------------------------------------------------------------------------
    // The search driver: the walk with the loading window, the busy pointer and the search
    // controls off; whatever happens, they are all restored when it ends.
    void MainLoadFiles(QString folder, bool resetGrid);
    // The walk of `folder` (and its subfolders when the box is ticked) with the options the
    // controls show when it starts.
    void LoadFiles(const QString& folder, bool resetGrid);
    // Appends the row of one listed file.
    void AddFileRow(const QString& folder, const filesearch::FindData& file);
    // Page counts of the checked TIFF and PDF rows when the "Pages" column is hidden.
    void GetPageCount();
    void EnableSearchControls(bool enabled);
    bool SearchRunning() const { return m_searchDepth > 0; }
    frmLoading* LoadingWindow() const { return m_loading; } // null while idle

    // The least time between two event pumps of the walk, in milliseconds.
    int SearchPumpIntervalMs = 5;

    // Seams for tests: the clock the walk's pumps are timed by (milliseconds; null = the
    // steady clock), and a call after every pump.
    std::function<qint64()> SearchClock;
    std::function<void()> SearchPumpHook;

    // --- merge hand-off --------------------------------------------------------------------
    // "Mer&ge and Convert to PDF": page counts of the checked rows first, then command 3.
    void cmdConverttiffToPdf_Click();
    // The checked rows as file records in the grid's order; command 3 hands them to the
    // set-order-and-merge dialog, which SetOrderForm refers to while it is open.
    void ShowSetOrderform(int& command);

    // --- result grid ---------------------------------------------------------------------
    void InitFiles();
    void RefreshGrid();
    void grdSearchList_AfterMoveColumn(int Col, int& Position);
    void grdSearchList_BeforeSort(int Col, int& Order);
    void grdSearchList_KeyDown(int& KeyCode, int Shift);
    void grdSearchList_MouseDown(int Button, int Shift, int row, int col, QPoint globalPos = {});
    void grdSearchList_MouseUp();
    QString getSelectedFileinfo();
    void SetStatusText(QString& text);
    QString StatusText() const;

    // --- check commands --------------------------------------------------------------------
    void mnuCtxSelectAll_Click();
    void mnuCtxDeSelectAll_Click();
    void CheckAllRows();
    void ClearErrorRowCheckboxes();
    void UncheckAllRows();
    void mnuInvSelect_Click();
    void mnuCtxInvSelect_Click();
    void mnuCtxCheckSelection_Click();
    void mnuCtxUnCheckSelection_Click();
    void mnuCtxCheckInvertSelection_Click();

    // --- menus -----------------------------------------------------------------------------
    void mnupreferances_Click();
    void mnuExport_Click();
    void mnuexit_Click();
    void mnuWebsite_Click();
    void mnuShowHelp_Click();
    void mnuAbout_Click();
    void mnuCtxOpen_Click();
    void mnuCtxOpenFolder_Click();
    void mnuCtxPrintFile_Click();

    // --- export ----------------------------------------------------------------------------
    void cmdExport_Click();
    // The rows not unchecked (checked, or without a box) to a delimited text file the user
    // names; true after a completed export.
    bool ExportCheckedRows(FlexGrid* grid);
    // Seam for tests: the copy of the grid's rows the export works on (null = the real copy).
    std::function<void()> ExportCopyHook;

    // --- tool hand-off ----------------------------------------------------------------------
    // "Image to PDF": the checked rows whose names match the filter, into the image-to-PDF dialog.
    void cmdConImageToPdf_Click();

public slots:
    void cmdSearch_Click();
    // Folder Conversion: the clone dialog over the tree's selected folder.
    void cmdCloneDir_Click();

public:
    // Controls, named as everywhere else in the program.
    QWidget* ctlPaneFolder = nullptr;
    QWidget* ctlPaneSearchList = nullptr;
    QWidget* ctlPaneSearch = nullptr;
    QWidget* CtlPaneSearchOptions = nullptr;
    FolderTree* ftvFolder = nullptr;
    FlexGrid* grdSearchList = nullptr;
    QStatusBar* sbStatusBar = nullptr;

    QGroupBox* fraTotal = nullptr;
    QLabel* lblFilter = nullptr;
    QComboBox* cboFilterPattern = nullptr;
    QPushButton* cmdSearch = nullptr;
    QCheckBox* chkSearchSubFolder = nullptr;
    QCheckBox* ChkUseAdvOpt = nullptr;
    QPushButton* cmdExport = nullptr;
    QGroupBox* fraCommand = nullptr;
    QPushButton* cmdCloneDir = nullptr;
    QPushButton* cmdConImageToPdf = nullptr;
    QPushButton* cmdConverttiffToPdf = nullptr;

    QGroupBox* fraAdvSearch = nullptr;
    QCheckBox* chkSearchByDate = nullptr;
    QGroupBox* fraDate = nullptr;
    QComboBox* cboDateRangeType = nullptr;
    QRadioButton* optInPeriod = nullptr;
    QLineEdit* txtInPeriod = nullptr;
    QWidget* updInPeriod = nullptr;
    QComboBox* cboDateInPeriod = nullptr;
    QRadioButton* optBtnPeriod = nullptr;
    QDateEdit* dtpDateFrom = nullptr;
    QLabel* lblDateRangeAnd = nullptr;
    QDateEdit* dtpDateTo = nullptr;
    QCheckBox* chkSearchBySize = nullptr;
    QGroupBox* fraSize = nullptr;
    QRadioButton* optSizeAt = nullptr;
    QComboBox* cboLeastMost = nullptr;
    QLineEdit* txtSizeLeastMost = nullptr;
    QWidget* updSizeLeastMost = nullptr;
    QLabel* lblSizeKB1 = nullptr;
    QRadioButton* optSizeBtn = nullptr;
    QLineEdit* txtSizeFrom = nullptr;
    QWidget* updSizeFrom = nullptr;
    QLabel* lblSizeTo = nullptr;
    QLineEdit* txtSizeTo = nullptr;
    QWidget* updSizeTo = nullptr;
    QLabel* lblSizeKB2 = nullptr;

    QMenu* mnuEdit = nullptr;
    QAction* mnupreferances = nullptr;
    QAction* mnuExport = nullptr;
    QAction* mnuexit = nullptr;
    QMenu* menuOption = nullptr;
    QAction* mnuChangeLanguage = nullptr;
    QMenu* mnuhelp = nullptr;
    QAction* mnuWebsite = nullptr;
    QAction* mnuShowHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuCtxMenu = nullptr;
    QAction* mnuCtxOpen = nullptr;
    QAction* mnuCtxOpenFolder = nullptr;
    QAction* mnuCtxPrintFile = nullptr;
    QAction* mnuCtxSelectAll = nullptr;
    QAction* mnuCtxInvSelect = nullptr;
    QAction* mnuCtxDeSelectAll = nullptr;
    QAction* mnuCtxCheckSelection = nullptr;
    QAction* mnuCtxUnCheckSelection = nullptr;
    QAction* mnuCtxCheckInvertSelection = nullptr;

    // The texts the date and size criteria compare the lists' current text with.
    QStringList DateRangeTypes;
    QStringList DateUnits;
    QStringList LeastMost;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    QMenu* createPopupMenu() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void refreshStatus();
    void setHighlightedChecks(int state);
    QString currentRowPath(bool withName) const;
    QWidget* buildSearchOptions();
    QWidget* buildAdvanceOptions();
    void createPanes();
    void pinOptionPanes();
    void layoutPanes();
    void applySearchOptionDefaults();
    void applyFrameTwips(const QRect& twips);
    void applyPendingState();
    void settleStartGeometry();
    void completeFrameGeometry();
    int columnOf(const QString& key) const;
    void stopSearchForClose();
    void lookUpSearchColumns();
    void finishSearch();
    QWidget* searchControlFocus() const;

    // Grid positions of the search's columns, looked up when a search starts.
    struct SearchColumns {
        int name = 0, selection = 0, location = 0, size = 0, type = 0, created = 0, modified = 0, pages = 0;
        bool pagesShown = false;
    };

    QPointer<cSizeMoveHelper> m_c;
    QDockWidget* m_panes[5] = {};
    QLabel* m_statusPanel = nullptr;
    int m_activationCount = 0;
    bool m_trackGeometry = false;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_resizeQueued = false;
    bool m_splitPanes = true; // until the window has settled after its first show
    int m_folderWidth = 0;    // the folder pane's width the layout keeps
    int m_laidOutWidth = 0;   // the window's width at the last layout
    int m_askedFolderWidth = 0; // asked of the last layout, until its resize arrives
    int m_folderSlack = 0;      // what the pane shows less than it is asked for
    bool m_layingOutPanes = false;
    bool m_settleTimerStarted = false;
    // The frame size restored at start, applied again once the window manager has told
    // us how large its decorations are.
    std::optional<QSize> m_pendingFrameSize;
    // The start state, applied once the window has been shown in its normal place.
    std::optional<int> m_pendingState;

    // Search state.
    bool m_cancelSearch = false;
    int m_searchDepth = 0;
    bool m_closedDuringSearch = false;
    bool m_deleteAfterSearch = false;
    SearchColumns m_searchCols;
    platform::FileTypes m_fileTypes; // type names and their icons, for the window's life
    platform::FileTypeIcons m_fileTypeIcons{m_fileTypes};
    frmLoading* m_loading = nullptr; // while a search runs
};
