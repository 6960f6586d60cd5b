#pragma once

// Watches one top-level window and turns its geometry and activation changes into
// events: the start and end of the user's move or size drag, every step of it with a
// rectangle the handler may change, and activation.
//
// The window system tells a client neither when a frame drag starts nor when it ends,
// so a drag is recognised as a burst of spontaneous move/resize events: the first one
// opens it, and it ends once no such event has arrived for a short quiet interval.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

class cSizeMoveHelper : public QObject {
    Q_OBJECT

public:
    // The quiet-interval timer, replaceable so tests can end a drag without waiting.
    class QuietTimer {
    public:
        virtual ~QuietTimer() = default;
        // (Re)starts the interval; `onTimeout` runs once when it passes undisturbed.
        virtual void start(std::function<void()> onTimeout) = 0;
        virtual void stop() = 0;
    };

    static constexpr int kQuietIntervalMs = 300;

    explicit cSizeMoveHelper(QObject* parent = nullptr, std::unique_ptr<QuietTimer> timer = {});
    ~cSizeMoveHelper() override;

    // The caller's wish that full-window dragging be off while the window is active.
    // Kept as state only: that preference belongs to the desktop, not to us.
    bool NoFullDrag() const { return m_noFullDrag; }
    void setNoFullDrag(bool bState);

    // The window is active (the last activation change was an activation).
    bool Active() const { return m_active; }

    // True between the start and the end of a move/size drag.
    bool InSizeMove() const { return m_inLoop; }

    void Attach(QWidget* window);
    void Detach();

signals:
    void EnterSizeMove();
    void ExitSizeMove();
    void Activate(bool bByMouse);
    void Deactivate();
    // Outer frame rectangle in screen pixels; a handler may change the four values.
    // Connect these two directly: the values travel by reference.
    void Moving(int& lLeft, int& lTop, int& lWidth, int& lHeight);
    void Sizing(int& lLeft, int& lTop, int& lWidth, int& lHeight);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onGeometryEvent(QEvent* event);
    void onQuietIntervalPassed();
    void DisableFullDrag();
    void RestoreFullDrag();

    QPointer<QWidget> m_window;
    std::unique_ptr<QuietTimer> m_timer;
    bool m_switchedOff = false;
    bool m_noFullDrag = false;
    bool m_active = false;
    bool m_everActive = false;
    bool m_inLoop = false;
    bool m_applying = false;
    QMetaObject::Connection m_destroyed;
};
