#include "mainwindow/frmmain.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/modmasterlayout.h"
#include "core/settings.h"
#include "gui/widgets/flexgrid.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/csizemovehelper.h"
#include "mainwindow/frmmaingeometry.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <cmath>

namespace {
constexpr auto kOwner = u" of Form frmMain at time";

int stateCode(Qt::WindowStates s) {
    if (s & Qt::WindowMinimized) return frmMainGeometry::Minimised;
    if (s & (Qt::WindowMaximized | Qt::WindowFullScreen)) return frmMainGeometry::Maximised;
    return frmMainGeometry::Normal;
}

// How long the start state waits for the window manager's decorations.
constexpr int kDecorationWaitMs = 1000;

int pixelsFromTwips(int twips) {
    return int(std::lround(double(twips) / frmMainGeometry::kTwipsPerPixel));
}
} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    // The designed size; a saved rectangle or state replaces it while loading.
    resize(1000, 680);
    buildControls();
    Form_Load();
}

frmMain::~frmMain() = default;

QDockWidget* frmMain::Pane(int id) const {
    return id >= 1 && id <= 4 ? m_panes[id] : nullptr;
}

void frmMain::Form_Load() {
    if (m_loaded) return;
    m_loaded = true;
    trap(u"Form_Load", kOwner, [&] {
        m_c = new cSizeMoveHelper(this);
        m_c->setNoFullDrag(true);
        m_c->Attach(this);
        connect(m_c, &cSizeMoveHelper::ExitSizeMove, this, &frmMain::m_c_ExitSizeMove);
        connect(m_c, &cSizeMoveHelper::Moving, this, &frmMain::m_c_Moving, Qt::DirectConnection);
        connect(m_c, &cSizeMoveHelper::Sizing, this, &frmMain::m_c_Sizing, Qt::DirectConnection);

        setWindowTitle(kAppTitle);
        modMasterLayout::FormLoadHook(this);
        createPanes();

        FillComboBoxes();
        InitFiles();
        applySearchOptionDefaults();

        if (CmdLineFolder.trimmed().isEmpty()) {
            ftvFolder->SetSelectedFolder(AppSettings->StartupFolder());
        } else {
            ftvFolder->SetSelectedFolder(CmdLineFolder);
            CheckCommandLineFiles(CmdLineFiles);
            CmdLineFolder.clear();
            // The search's summary was taken before the pre-check ticked its rows.
            QString status = getSelectedFileinfo();
            SetStatusText(status);
        }

        if (AppSettings->WindowStateFlag() == 1) SetWindowState();
    });
    completeFrameGeometry(); // the minimum size, whatever happened above
}

void frmMain::CheckCommandLineFiles(const QStringList& files) {
    const int nameCol = columnOf(QStringLiteral("Name"));
    const int selCol = columnOf(QStringLiteral("Selection"));
    QSet<QString> names;
    for (const QString& p : files)
        names.insert(modGeneral::GetFileName(p).toUpper());
    for (int r = 1; r < grdSearchList->Rows(); ++r) {
        if (names.contains(grdSearchList->TextMatrix(r, nameCol).toUpper()))
            grdSearchList->setCellChecked(r, selCol, flexChecked);
    }
}

void frmMain::SetWindowState() {
    trap(u"SetWindowState", kOwner, [&] {
        const auto plan = frmMainGeometry::PlanWindowState(
            AppSettings->WindowStateValue(), AppSettings->LastWindowLeft(), AppSettings->LastWindowTop(),
            AppSettings->LastWindowWidth(), AppSettings->LastWindowHeight(), AppSettings->LastWindowState());
        if (plan.move) applyFrameTwips(plan.frameTwips);
        if (!plan.state) return;
        // The window manager must see the window in its normal place first, or it has no
        // rectangle to restore it to: a state for a window not yet shown waits for the show.
        m_pendingState = *plan.state;
        if (isVisible()) applyPendingState();
    });
}

void frmMain::applyPendingState() {
    if (!m_pendingState) return;
    const int state = *m_pendingState;
    m_pendingState.reset();
    const Qt::WindowStates others =
        windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    switch (state) {
    case frmMainGeometry::Maximised:
        setWindowState(others | Qt::WindowMaximized);
        break;
    case frmMainGeometry::Minimised:
        setWindowState(others | Qt::WindowMinimized);
        break;
    case frmMainGeometry::Normal:
        setWindowState(others);
        break;
    default:
        break; // a state we never write
    }
    // Lays the panes out even when the window system changes no size for the state.
    QMetaObject::invokeMethod(this, &frmMain::Form_Resize, Qt::QueuedConnection);
}

// Places the outer frame on a saved rectangle. move() places the frame already; the
// size we set is the inner one, so the decorations are taken off once they are known.
void frmMain::applyFrameTwips(const QRect& twips) {
    QList<QRect> screens;
    if (QScreen* primary = QGuiApplication::primaryScreen()) screens << primary->availableGeometry();
    for (QScreen* s : QGuiApplication::screens()) screens << s->availableGeometry();
    const QRect px = frmMainGeometry::FitOnScreens(
        QRect(pixelsFromTwips(twips.x()), pixelsFromTwips(twips.y()), pixelsFromTwips(twips.width()),
              pixelsFromTwips(twips.height())),
        screens);
    const QSize decorations = frameGeometry().size() - size();
    move(px.topLeft());
    resize(std::max(1, px.width() - decorations.width()), std::max(1, px.height() - decorations.height()));
    m_pendingFrameSize = decorations.isNull() ? std::optional<QSize>(px.size()) : std::nullopt;
}

// Runs whenever the window manager may have given us new decorations: keeps the
// minimum and a restored rectangle on the outer frame.
void frmMain::completeFrameGeometry() {
    const QSize decorations = frameGeometry().size() - size();
    setMinimumSize(std::max(0, frmMainGeometry::kMinWidth - decorations.width()),
                   std::max(0, frmMainGeometry::kMinHeight - decorations.height()));
    if (m_pendingFrameSize && !decorations.isNull() && stateCode(windowState()) == frmMainGeometry::Normal) {
        const QSize frame = *m_pendingFrameSize;
        m_pendingFrameSize.reset();
        resize(std::max(1, frame.width() - decorations.width()),
               std::max(1, frame.height() - decorations.height()));
    }
    // The start state waits until the window sits in its normal place at its real size:
    // that is the rectangle the window manager restores it to.
    if (m_pendingState && isVisible() && !m_pendingFrameSize)
        QMetaObject::invokeMethod(this, &frmMain::applyPendingState, Qt::QueuedConnection);
}

// After the first show: the decorations may be known already; if the window manager
// does not tell within a moment, the state is applied without them.
void frmMain::settleStartGeometry() {
    completeFrameGeometry();
    if (m_pendingState && m_pendingFrameSize) {
        QTimer::singleShot(kDecorationWaitMs, this, [this] {
            m_pendingFrameSize.reset();
            applyPendingState();
        });
    }
}

void frmMain::SaveWindowGeometry() {
    const auto plan = frmMainGeometry::PlanGeometrySave(stateCode(windowState()), frameGeometry());
    if (plan.state) AppSettings->setLastWindowState(*plan.state);
    if (plan.twips) {
        AppSettings->setLastWindowLeft(plan.twips->x());
        AppSettings->setLastWindowTop(plan.twips->y());
        AppSettings->setLastWindowWidth(plan.twips->width());
        AppSettings->setLastWindowHeight(plan.twips->height());
    }
}

void frmMain::m_c_ExitSizeMove() {
    m_pendingFrameSize.reset(); // the user's size wins over the one we restored
    trap(u"m_c_ExitSizeMove", kOwner, [&] { SaveWindowGeometry(); });
}

void frmMain::m_c_Moving(int&, int&, int&, int&) {}

// The helper applies a changed rectangle only during the user's drag, so maximising
// and restoring are not limited by this.
void frmMain::m_c_Sizing(int&, int&, int& lWidth, int& lHeight) {
    frmMainGeometry::ClampToMinimumSize(lWidth, lHeight);
}

void frmMain::Form_Activate() {
    ++m_activationCount;
    if (!m_trackGeometry && m_activationCount == 2) m_trackGeometry = true;
    completeFrameGeometry();
}

void frmMain::Form_Resize() {
    trap(u"Form_Resize", kOwner, [&] {
        if (Pane(PaneOptions)) pinOptionPanes();
        if (isVisible() && !m_pendingState && Pane(PaneFolders)) layoutPanes();
        if (m_trackGeometry) SaveWindowGeometry();
    });
}

void frmMain::Form_Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
    trap(u"Form_Unload", kOwner, [&] {
        SaveWindowGeometry();
        if (AppSettings->LastGridColWidthFlag() == 1) {
            QStringList widths;
            for (int c = 0; c < grdSearchList->Cols(); ++c)
                widths << QString::number(grdSearchList->ColWidth(c));
            AppSettings->setLastGridColWidth(widths.join(QLatin1Char(',')));
        }
    });
}

void frmMain::Form_KeyDown(int KeyCode, int Shift) {
    if (Shift != 2) return;
    if (KeyCode == 'A')
        mnuCtxSelectAll_Click();
    else if (KeyCode == 'D')
        mnuCtxDeSelectAll_Click();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
    else if (event->type() == QEvent::WindowStateChange)
        completeFrameGeometry();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Handled once the events of this change are all in: a window being maximised is
    // resized before it reports its new state, and must not save that size as normal.
    if (!m_resizeQueued) {
        m_resizeQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_resizeQueued = false;
                Form_Resize();
            },
            Qt::QueuedConnection);
    }
}

void frmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (m_pendingFrameSize) completeFrameGeometry();
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_splitPanes && !m_settleTimerStarted) {
        m_settleTimerStarted = true;
        QTimer::singleShot(StartSettleMs, this, [this] {
            m_splitPanes = false;
            Form_Resize(); // the layout the window keeps from now on
        });
    }
    // Shown, but not yet mapped: the rest follows once the window system has it.
    if (m_pendingState) QMetaObject::invokeMethod(this, &frmMain::settleStartGeometry, Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event) {
    stopSearchForClose();
    Form_Unload();
    event->accept();
}

// The panes' title bars would otherwise offer to hide panes, and nothing shows a
// hidden pane again.
QMenu* frmMain::createPopupMenu() {
    return nullptr;
}

int frmMain::columnOf(const QString& key) const {
    return modGeneral::GetColumnIndexByKey(key);
}
