#include "mainwindow/frmmaingeometry.h"

#include "core/vbruntime.h"

namespace frmMainGeometry {

StartPlan PlanWindowState(int windowStateValue, int left, int top, int width, int height, int lastState) {
    StartPlan plan;
    plan.frameTwips = QRect(left, top, width, height);
    switch (windowStateValue) {
    case 0:
        plan.move = true;
        plan.state = Maximised;
        break;
    case 1:
        plan.move = true;
        plan.state = Minimised;
        break;
    case 2:
        if (left != 0 || top != 0 || width != 0 || height != 0) {
            plan.move = true;
            plan.state = lastState;
        } else {
            plan.state = Maximised;
        }
        break;
    default:
        break;
    }
    return plan;
}

SavePlan PlanGeometrySave(int state, const QRect& framePx) {
    SavePlan plan;
    if (state != Minimised) plan.state = state;
    if (state == Normal) {
        plan.twips = QRect(vb::CLng(double(framePx.x()) * kTwipsPerPixel),
                           vb::CLng(double(framePx.y()) * kTwipsPerPixel),
                           vb::CLng(double(framePx.width()) * kTwipsPerPixel),
                           vb::CLng(double(framePx.height()) * kTwipsPerPixel));
    }
    return plan;
}

void ClampToMinimumSize(int& width, int& height) {
    if (width < kMinWidth) width = kMinWidth;
    if (height < kMinHeight) height = kMinHeight;
}

QRect FitOnScreens(const QRect& framePx, const QList<QRect>& screens) {
    if (screens.isEmpty() || framePx.isEmpty()) return framePx;
    // Enough of the title strip to grab and drag the window by.
    const QRect title(framePx.left(), framePx.top(), framePx.width(), std::min(framePx.height(), 30));
    for (const QRect& screen : screens) {
        const QRect seen = title.intersected(screen);
        if (seen.width() >= std::min(100, title.width()) && seen.height() >= std::min(20, title.height()))
            return framePx;
    }
    const QRect& primary = screens.front();
    QRect fitted(primary.topLeft(), framePx.size().boundedTo(primary.size()));
    fitted.moveCenter(primary.center());
    return fitted;
}

} // namespace frmMainGeometry
