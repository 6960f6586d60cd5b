#include "gui/widgets/flexgridview.h"

#include "core/errortrap.h"
#include "gui/widgets/flexgrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

FlexGridView::FlexGridView(FlexGrid* grid) : QTableView(grid), m_grid(grid) {
    horizontalHeader()->viewport()->installEventFilter(this);
}

int FlexGridView::vbKeyCode(const QKeyEvent* event) {
    const int key = event->key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9) ||
        key == Qt::Key_Space)
        return key; // Qt uses the same upper-case ASCII codes
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return key == Qt::Key_unknown ? 0 : key;
    }
}

void FlexGridView::keyPressEvent(QKeyEvent* event) {
    int code = vbKeyCode(event);
    if (code != 0) {
        // A handler's failure must not escape into the event loop.
        quietly([&] { emit m_grid->KeyDown(code, FlexGrid::ShiftState(event->modifiers())); });
        if (code == 0) {
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_Space && m_grid->Editable()) {
        const QModelIndex cur = currentIndex();
        if (cur.isValid() && m_grid->tickable(cur.row() + 1, cur.column()))
            quietly([&] { m_grid->toggleCell(cur.row() + 1, cur.column()); });
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void FlexGridView::cellAt(const QPoint& pos, int& row, int& col) const {
    const QModelIndex idx = indexAt(pos);
    row = idx.isValid() ? idx.row() + 1 : -1;
    col = idx.isValid() ? idx.column() : columnAt(pos.x());
}

void FlexGridView::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    int row = -1, col = -1;
    cellAt(event->position().toPoint(), row, col);
    m_grid->m_mouseRow = row;
    m_grid->m_mouseCol = col;
    quietly([&] {
        emit m_grid->MouseDown(FlexGrid::ButtonCode(event->button()),
                               FlexGrid::ShiftState(event->modifiers()), row, col,
                               event->globalPosition().toPoint());
    });
    // Editing may have been switched on or off by the handler just now.
    if (event->button() == Qt::LeftButton && m_grid->Editable() && m_grid->tickable(row, col))
        quietly([&] { m_grid->toggleCell(row, col); });
}

void FlexGridView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    int row = -1, col = -1;
    cellAt(event->position().toPoint(), row, col);
    quietly([&] {
        emit m_grid->MouseUp(FlexGrid::ButtonCode(event->button()), FlexGrid::ShiftState(event->modifiers()),
                             row, col);
    });
}

void FlexGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like any other (it ticks a box again).
    mousePressEvent(event);
    quietly([&] { emit m_grid->DblClick(m_grid->m_mouseRow, m_grid->m_mouseCol); });
}

bool FlexGridView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const int col = horizontalHeader()->logicalIndexAt(me->position().toPoint());
        const int button = FlexGrid::ButtonCode(me->button());
        const int shift = FlexGrid::ShiftState(me->modifiers());
        quietly([&] {
            if (event->type() == QEvent::MouseButtonPress) {
                m_grid->m_mouseRow = 0;
                m_grid->m_mouseCol = col;
                emit m_grid->MouseDown(button, shift, 0, col, me->globalPosition().toPoint());
            } else {
                emit m_grid->MouseUp(button, shift, 0, col);
            }
        });
    }
    return QTableView::eventFilter(watched, event);
}
