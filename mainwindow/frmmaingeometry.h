#pragma once

// Decisions about the main window's state and rectangle, apart from the window so
// they can be checked directly. Rectangles are the outer frame; saved values are twips.

#include <QList>
#include <QRect>
#include <optional>

namespace frmMainGeometry {

constexpr int kTwipsPerPixel = 15;

// The window states as the settings record them.
enum State { Normal = 0, Minimised = 1, Maximised = 2 };

// The smallest outer frame the user can drag the window to, in pixels.
constexpr int kMinWidth = 700;
constexpr int kMinHeight = 403;

struct StartPlan {
    bool move = false;        // place the window on `frameTwips` first
    QRect frameTwips;         // the saved outer rectangle
    std::optional<int> state; // the state to apply afterwards, if any
};

// What the start-state setting asks for: 0 maximised and 1 minimised, each after
// moving to the saved rectangle; 2 the saved rectangle and state, or maximised when
// nothing was ever saved; anything else leaves the window alone.
StartPlan PlanWindowState(int windowStateValue, int left, int top, int width, int height, int lastState);

struct SavePlan {
    std::optional<int> state;   // written to the last-state setting
    std::optional<QRect> twips; // written to the four rectangle settings
};

// What the geometry save writes for a window in `state` with outer frame `framePx`:
// a minimised window nothing, a maximised one only its state, a normal one its state
// and rectangle.
SavePlan PlanGeometrySave(int state, const QRect& framePx);

// Raises a proposed frame size to the minimum.
void ClampToMinimumSize(int& width, int& height);

// A saved frame as it can be shown on today's screens (their available areas, the first
// the primary one): left alone while a good part of its title strip lies on a screen, else
// moved onto the primary screen and made no larger than it. A window saved on a monitor
// that has gone must not open where nobody can reach it.
QRect FitOnScreens(const QRect& framePx, const QList<QRect>& screens);

} // namespace frmMainGeometry
