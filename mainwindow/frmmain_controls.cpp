// The main window's controls and panes: what the form looks like before it loads, and
// the four docked panes its load creates.

#include "mainwindow/frmmain.h"

#include "core/vbruntime.h"
#include "gui/widgets/flexgrid.h"
#include "gui/widgets/foldertree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDockWidget>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QWidget* container(const char* name) {
    auto* w = named(new QWidget, name);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    return w;
}

// A number box's up-down buttons: they step the number the box shows and leave any
// other text to the search, which reads the box alone.
QWidget* upDown(QLineEdit* buddy, const char* name, qint64 maximum) {
    auto* w = named(new QWidget, name);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    auto step = [buddy, maximum](int by) {
        // Bounded before the conversion: a typed "1e300" does not fit a whole number.
        const double v = std::clamp(vb::Val(buddy->text()), -1.0, double(maximum) + 1);
        const qint64 next = std::clamp<qint64>(qint64(v) + by, 0, maximum);
        buddy->setText(QString::number(next));
    };
    for (int by : {1, -1}) {
        auto* b = new QToolButton(w);
        b->setArrowType(by > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        const int h = std::max(8, buddy->sizeHint().height() / 2);
        b->setFixedSize(16, h);
        QObject::connect(b, &QToolButton::clicked, w, [step, by] { step(by); });
        l->addWidget(b);
    }
    return w;
}

QLineEdit* numberBox(const char* name, const QString& initial) {
    auto* e = named(new QLineEdit(initial), name);
    e->setMaximumWidth(70);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QDateEdit* datePicker(const char* name) {
    auto* d = named(new QDateEdit, name);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return d;
}

} // namespace

void frmMain::buildControls() {
    ctlPaneFolder = container("ctlPaneFolder");
    ftvFolder = named(new FolderTree, "ftvFolder");
    ctlPaneFolder->layout()->addWidget(ftvFolder);

    ctlPaneSearchList = container("ctlPaneSearchList");
    grdSearchList = named(new FlexGrid, "grdSearchList");
    // A search hides the grid while it fills it; its pane must not change size meanwhile.
    QSizePolicy keep = grdSearchList->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    grdSearchList->setSizePolicy(keep);
    ctlPaneSearchList->layout()->addWidget(grdSearchList);

    ctlPaneSearch = container("ctlPaneSearch");
    ctlPaneSearch->layout()->addWidget(buildSearchOptions());

    CtlPaneSearchOptions = container("CtlPaneSearchOptions");
    CtlPaneSearchOptions->layout()->addWidget(buildAdvanceOptions());

    sbStatusBar = named(new QStatusBar, "sbStatusBar");
    m_statusPanel = named(new QLabel, "sbStatusBarPanel1");
    m_statusPanel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sbStatusBar->addWidget(m_statusPanel, 1);
    setStatusBar(sbStatusBar);

    buildMenus();
    connect(cmdSearch, &QPushButton::clicked, this, &frmMain::cmdSearch_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmMain::cmdExport_Click);
    connect(cmdConImageToPdf, &QPushButton::clicked, this, &frmMain::cmdConImageToPdf_Click);
    connect(cmdCloneDir, &QPushButton::clicked, this, &frmMain::cmdCloneDir_Click);
    // The user's choice of a filter searches again; filling the list while loading does
    // not, since the start folder's search follows anyway.
    connect(cboFilterPattern, &QComboBox::activated, this, &frmMain::cboFilterPattern_Click);
    connect(ftvFolder, &FolderTree::FolderSelected, this, &frmMain::ftvFolder_SelectionChange);
    connect(chkSearchByDate, &QCheckBox::clicked, this, &frmMain::chkSearchByDate_Click);
    connect(chkSearchBySize, &QCheckBox::clicked, this, &frmMain::chkSearchBySize_Click);
    connect(cmdConverttiffToPdf, &QPushButton::clicked, this, &frmMain::cmdConverttiffToPdf_Click);

    connect(grdSearchList, &FlexGrid::AfterMoveColumn, this, [this](int oldPosition, int newPosition) {
        grdSearchList_AfterMoveColumn(oldPosition, newPosition);
    });
    connect(grdSearchList, &FlexGrid::BeforeSort, this, &frmMain::grdSearchList_BeforeSort,
            Qt::DirectConnection);
    connect(grdSearchList, &FlexGrid::KeyDown, this, &frmMain::grdSearchList_KeyDown, Qt::DirectConnection);
    connect(grdSearchList, &FlexGrid::MouseDown, this,
            [this](int button, int shift, int row, int col, QPoint globalPos) {
                grdSearchList_MouseDown(button, shift, row, col, globalPos);
            });
    connect(grdSearchList, &FlexGrid::MouseUp, this, [this] { grdSearchList_MouseUp(); });

    // Ctrl+A and Ctrl+D act wherever the focus is in the window, unless the focused
    // control has its own use for the keys (a text box selects its text).
    for (int key : {int('A'), int('D')}) {
        auto* s = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(key)), this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [this, key] { Form_KeyDown(key, 2); });
    }
}

QWidget* frmMain::buildSearchOptions() {
    fraTotal = named(new QGroupBox(QStringLiteral("Search Options")), "fraTotal");
    lblFilter = named(new QLabel(QStringLiteral("F&ilter")), "lblFilter");
    cboFilterPattern = named(new QComboBox, "cboFilterPattern");
    cboFilterPattern->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboFilterPattern->setMinimumContentsLength(18);
    lblFilter->setBuddy(cboFilterPattern);
    cmdSearch = named(new QPushButton(QStringLiteral("&Search")), "cmdSearch");
    chkSearchSubFolder = named(new QCheckBox(QStringLiteral("Include S&ubfolder")), "chkSearchSubFolder");
    ChkUseAdvOpt = named(new QCheckBox(QStringLiteral("Use advance search options")), "ChkUseAdvOpt");
    cmdExport = named(new QPushButton(QStringLiteral("Exp&ort")), "cmdExport");

    auto* grid = new QGridLayout(fraTotal);
    grid->addWidget(lblFilter, 0, 0);
    grid->addWidget(cboFilterPattern, 0, 1);
    grid->addWidget(cmdSearch, 0, 2);
    grid->addWidget(chkSearchSubFolder, 1, 1);
    grid->addWidget(ChkUseAdvOpt, 2, 1);
    grid->addWidget(cmdExport, 2, 2);
    grid->setColumnStretch(1, 1);

    fraCommand = named(new QGroupBox, "fraCommand");
    cmdCloneDir = named(new QPushButton(QStringLiteral("Folder Conversion")), "cmdCloneDir");
    cmdConImageToPdf = named(new QPushButton(QStringLiteral("Image to PDF")), "cmdConImageToPdf");
    cmdConverttiffToPdf =
        named(new QPushButton(QStringLiteral("Mer&ge and Convert to PDF")), "cmdConverttiffToPdf");
    auto* row = new QHBoxLayout(fraCommand);
    row->addWidget(cmdCloneDir);
    row->addWidget(cmdConImageToPdf);
    row->addWidget(cmdConverttiffToPdf);
    row->addStretch(1);

    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(4, 4, 4, 4);
    l->addWidget(fraTotal);
    l->addWidget(fraCommand);
    return w;
}

QWidget* frmMain::buildAdvanceOptions() {
    fraAdvSearch = named(new QGroupBox(QStringLiteral("Search Options")), "fraAdvSearch");

    chkSearchByDate = named(new QCheckBox(QStringLiteral("&Date")), "chkSearchByDate");
    fraDate = named(new QGroupBox, "fraDate");
    cboDateRangeType = named(new QComboBox, "cboDateRangeType");
    optInPeriod = named(new QRadioButton(QStringLiteral("in the last")), "optInPeriod");
    txtInPeriod = numberBox("txtInPeriod", QStringLiteral("1"));
    updInPeriod = upDown(txtInPeriod, "updInPeriod", 32767);
    cboDateInPeriod = named(new QComboBox, "cboDateInPeriod");
    optBtnPeriod = named(new QRadioButton(QStringLiteral("between")), "optBtnPeriod");
    dtpDateFrom = datePicker("dtpDateFrom");
    lblDateRangeAnd = named(new QLabel(QStringLiteral("and")), "lblDateRangeAnd");
    dtpDateTo = datePicker("dtpDateTo");

    auto* dateGrid = new QGridLayout(fraDate);
    dateGrid->addWidget(cboDateRangeType, 0, 0, 1, 5);
    dateGrid->addWidget(optInPeriod, 1, 0);
    auto* inPeriod = new QHBoxLayout;
    inPeriod->setSpacing(0);
    inPeriod->addWidget(txtInPeriod);
    inPeriod->addWidget(updInPeriod);
    dateGrid->addLayout(inPeriod, 1, 1);
    dateGrid->addWidget(cboDateInPeriod, 1, 2, 1, 3);
    dateGrid->addWidget(optBtnPeriod, 2, 0);
    dateGrid->addWidget(dtpDateFrom, 2, 1, 1, 2);
    dateGrid->addWidget(lblDateRangeAnd, 2, 3);
    dateGrid->addWidget(dtpDateTo, 2, 4);
    dateGrid->setColumnStretch(5, 1);

    chkSearchBySize = named(new QCheckBox(QStringLiteral("Si&ze")), "chkSearchBySize");
    fraSize = named(new QGroupBox, "fraSize");
    optSizeAt = named(new QRadioButton(QStringLiteral("at")), "optSizeAt");
    cboLeastMost = named(new QComboBox, "cboLeastMost");
    txtSizeLeastMost = numberBox("txtSizeLeastMost", QStringLiteral("0"));
    updSizeLeastMost = upDown(txtSizeLeastMost, "updSizeLeastMost", 2147483647);
    lblSizeKB1 = named(new QLabel(QStringLiteral("KB")), "lblSizeKB1");
    optSizeBtn = named(new QRadioButton(QStringLiteral("between")), "optSizeBtn");
    txtSizeFrom = numberBox("txtSizeFrom", QStringLiteral("0"));
    updSizeFrom = upDown(txtSizeFrom, "updSizeFrom", 2147483647);
    lblSizeTo = named(new QLabel(QStringLiteral("to")), "lblSizeTo");
    txtSizeTo = numberBox("txtSizeTo", QStringLiteral("0"));
    updSizeTo = upDown(txtSizeTo, "updSizeTo", 2147483647);
    lblSizeKB2 = named(new QLabel(QStringLiteral("KB")), "lblSizeKB2");

    auto boxWithButtons = [](QLineEdit* box, QWidget* buttons) {
        auto* l = new QHBoxLayout;
        l->setSpacing(0);
        l->addWidget(box);
        l->addWidget(buttons);
        return l;
    };
    // One row per choice: the two rows share no columns.
    auto* sizeRows = new QVBoxLayout(fraSize);
    auto* atRow = new QHBoxLayout;
    atRow->addWidget(optSizeAt);
    atRow->addWidget(cboLeastMost);
    atRow->addLayout(boxWithButtons(txtSizeLeastMost, updSizeLeastMost));
    atRow->addWidget(lblSizeKB1);
    atRow->addStretch(1);
    auto* betweenRow = new QHBoxLayout;
    betweenRow->addWidget(optSizeBtn);
    betweenRow->addLayout(boxWithButtons(txtSizeFrom, updSizeFrom));
    betweenRow->addWidget(lblSizeTo);
    betweenRow->addLayout(boxWithButtons(txtSizeTo, updSizeTo));
    betweenRow->addWidget(lblSizeKB2);
    betweenRow->addStretch(1);
    sizeRows->addLayout(atRow);
    sizeRows->addLayout(betweenRow);
    sizeRows->addStretch(1);

    auto* grid = new QGridLayout(fraAdvSearch);
    grid->addWidget(chkSearchByDate, 0, 0);
    grid->addWidget(fraDate, 1, 0);
    grid->addWidget(chkSearchBySize, 0, 1);
    grid->addWidget(fraSize, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(4, 4, 4, 4);
    l->addWidget(fraAdvSearch);
    return w;
}

void frmMain::createPanes() {
    struct PaneSpec {
        int id;
        const char* title;
        QWidget* content;
        Qt::DockWidgetArea area;
        const char* name;
    };
    const PaneSpec specs[] = {
        {PaneFolders, "Folders", ctlPaneFolder, Qt::LeftDockWidgetArea, "paneFolders"},
        {PaneSearchList, "Search List", ctlPaneSearchList, Qt::RightDockWidgetArea, "paneSearchList"},
        {PaneOptions, "Options", ctlPaneSearch, Qt::BottomDockWidgetArea, "paneOptions"},
        {PaneAdvanceOptions, "Advance Search Options", CtlPaneSearchOptions, Qt::BottomDockWidgetArea,
         "paneAdvanceSearchOptions"},
    };
    for (const PaneSpec& s : specs) {
        auto* pane = new QDockWidget(QString::fromLatin1(s.title), this);
        pane->setObjectName(QString::fromLatin1(s.name));
        // No command shows a closed pane again, so panes cannot be closed.
        pane->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        pane->setWidget(s.content);
        addDockWidget(s.area, pane);
        m_panes[s.id] = pane;
    }
    m_panes[PaneFolders]->installEventFilter(this);
    tabifyDockWidget(m_panes[PaneOptions], m_panes[PaneAdvanceOptions]);
    m_panes[PaneOptions]->raise();
    // Held from the first layout on, so no later relayout finds room to take back.
    pinOptionPanes();
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks |
                   QMainWindow::AllowNestedDocks);
}

// The option panes keep the height their controls need, however the window is sized:
// every other pixel goes to the tree and the grid.
void frmMain::pinOptionPanes() {
    const int height =
        std::max(ctlPaneSearch->sizeHint().height(), CtlPaneSearchOptions->sizeHint().height());
    for (QWidget* w : {ctlPaneSearch, CtlPaneSearchOptions})
        w->setFixedHeight(height);
}

namespace {
constexpr int kMinFolderWidth = 200; // the tree stays usable
constexpr int kMinListWidth = 300;
} // namespace

// The window's size decides the panes, never what happens inside them: the folder pane
// keeps its width (a quarter of the window until the user drags the separator), the result
// list takes every other pixel across, and the option panes exactly their controls' height.
// A search that hides the grid or a restore from maximised thus moves nothing.
void frmMain::layoutPanes() {
    const int w = std::max(4, width());
    if (m_splitPanes || m_folderWidth <= 0) m_folderWidth = w / 4;
    const int least = std::min(kMinFolderWidth, w / 2);
    const int folder = std::clamp(m_folderWidth, least, std::max(least, w - kMinListWidth));
    m_layingOutPanes = true;
    // The docks' tab bar takes its real height only at a full relayout; without one here
    // the first search's relayout would shift the option panes.
    layout()->invalidate();
    layout()->activate();
    resizeDocks({Pane(PaneFolders), Pane(PaneSearchList)}, {folder, w - folder}, Qt::Horizontal);
    resizeDocks({Pane(PaneOptions)}, {1}, Qt::Vertical); // held at its fixed height
    m_layingOutPanes = false;
    m_laidOutWidth = width();
    m_askedFolderWidth = folder;
}

// A folder pane resized while the window kept its width: the user moved the separator.
// The pane ends a few pixels short of the width asked for (the separator's share); that
// difference is taken off what the user's drag shows, so the kept width never creeps.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == Pane(PaneFolders) && !m_layingOutPanes && !m_splitPanes &&
        width() == m_laidOutWidth) {
        const int shown = Pane(PaneFolders)->width();
        if (m_askedFolderWidth > 0) {
            m_folderSlack = m_askedFolderWidth - shown; // our own layout arriving
            m_askedFolderWidth = 0;
        } else {
            m_folderWidth = shown + m_folderSlack;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::applySearchOptionDefaults() {
    optBtnPeriod->setChecked(true);
    optSizeAt->setChecked(true);
    chkSearchByDate->setChecked(false);
    chkSearchByDate_Click();
    chkSearchBySize->setChecked(false);
    chkSearchBySize_Click();
    const QDate today = QDate::currentDate();
    dtpDateFrom->setDate(today);
    dtpDateTo->setDate(today);
}
