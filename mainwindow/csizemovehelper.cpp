#include "mainwindow/csizemovehelper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QTimer>
#include <QWidget>

namespace {

class QtQuietTimer : public cSizeMoveHelper::QuietTimer {
public:
    QtQuietTimer() {
        m_timer.setSingleShot(true);
        m_timer.setInterval(cSizeMoveHelper::kQuietIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_onTimeout) m_onTimeout();
        });
    }
    void start(std::function<void()> onTimeout) override {
        m_onTimeout = std::move(onTimeout);
        m_timer.start();
    }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
    std::function<void()> m_onTimeout;
};

bool isNormalState(const QWidget* w) {
    return !(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

} // namespace

cSizeMoveHelper::cSizeMoveHelper(QObject* parent, std::unique_ptr<QuietTimer> timer)
    : QObject(parent), m_timer(timer ? std::move(timer) : std::make_unique<QtQuietTimer>()) {}

cSizeMoveHelper::~cSizeMoveHelper() {
    if (m_timer) m_timer->stop();
    Detach();
}

void cSizeMoveHelper::setNoFullDrag(bool bState) {
    m_noFullDrag = bState;
    if (bState && m_active)
        DisableFullDrag();
    else if (!bState)
        RestoreFullDrag();
}

void cSizeMoveHelper::Attach(QWidget* window) {
    Detach();
    m_window = window;
    m_everActive = window && window->isActiveWindow();
    if (!window) return;
    window->installEventFilter(this);
    m_destroyed = connect(window, &QObject::destroyed, this, [this] {
        RestoreFullDrag();
        Detach();
    });
}

void cSizeMoveHelper::Detach() {
    if (m_timer) m_timer->stop();
    m_inLoop = false;
    if (m_destroyed) disconnect(m_destroyed);
    m_destroyed = {};
    if (m_window) m_window->removeEventFilter(this);
    m_window = nullptr;
}

bool cSizeMoveHelper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window) return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        onGeometryEvent(event);
        break;
    case QEvent::WindowActivate:
        DisableFullDrag();
        m_active = true;
        m_everActive = true;
        // The activation itself does not say how it came about; a pressed button is
        // the best sign that a click brought the window forward.
        emit Activate(QGuiApplication::mouseButtons() != Qt::NoButton);
        break;
    case QEvent::WindowDeactivate:
        RestoreFullDrag();
        m_active = false;
        emit Deactivate();
        break;
    default:
        break;
    }
    return false;
}

void cSizeMoveHelper::onGeometryEvent(QEvent* event) {
    QWidget* w = m_window;
    if (!w || m_applying) return;
    const bool isResize = event->type() == QEvent::Resize;

    // Only the window system's own changes of a normal, visible window can be the
    // user's drag; maximising, minimising and our own resizes are not, nor is the
    // placing of a window that has never been active yet.
    const bool userDrag = event->spontaneous() && w->isVisible() && isNormalState(w) && m_everActive;
    if (!userDrag) {
        // Inside a drag this is an echo of it; outside, a size change that is not a
        // drag still reports the window's rectangle (changes to it are not applied).
        if (isResize && !m_inLoop) {
            const QRect f = w->frameGeometry();
            int l = f.x(), t = f.y(), wd = f.width(), h = f.height();
            emit Sizing(l, t, wd, h);
        }
        return;
    }

    if (!m_inLoop) {
        m_inLoop = true;
        emit EnterSizeMove();
    }
    // The outer frame as the event reports it: the decorations stay as they are.
    const QRect frame = w->frameGeometry();
    const QSize decorations = frame.size() - w->size();
    const QPoint frameOffset = w->pos() - frame.topLeft(); // client origin within the frame
    QRect f = frame;
    if (isResize)
        f.setSize(static_cast<QResizeEvent*>(event)->size() + decorations);
    else
        f.moveTopLeft(static_cast<QMoveEvent*>(event)->pos() - frameOffset);

    int l = f.x(), t = f.y(), wd = f.width(), h = f.height();
    if (isResize)
        emit Sizing(l, t, wd, h);
    else
        emit Moving(l, t, wd, h);

    // A handler that changed the rectangle moves or resizes the window.
    if (m_window && (l != f.x() || t != f.y() || wd != f.width() || h != f.height())) {
        m_applying = true;
        if (l != f.x() || t != f.y()) w->move(l, t);
        if (wd != f.width() || h != f.height())
            w->resize(std::max(0, wd - decorations.width()), std::max(0, h - decorations.height()));
        m_applying = false;
    }
    m_timer->start([this] { onQuietIntervalPassed(); });
}

void cSizeMoveHelper::onQuietIntervalPassed() {
    if (!m_inLoop) return;
    emit ExitSizeMove();
    m_inLoop = false;
}

// Nothing system-wide is switched here: the desktop's full-window-drag preference is
// the user's. The bookkeeping stays so the object answers as the window expects.
void cSizeMoveHelper::DisableFullDrag() {
    if (!m_noFullDrag) return;
    m_switchedOff = true;
}

void cSizeMoveHelper::RestoreFullDrag() {
    m_switchedOff = false;
}
