#pragma once

// The table view inside FlexGrid: turns key and mouse input into the grid's events first,
// and toggles check boxes itself afterwards, so a handler that consumed a key or switched
// editing off is obeyed and nothing is toggled twice.

#include <QTableView>

class FlexGrid;

class FlexGridView : public QTableView {
    Q_OBJECT
public:
    explicit FlexGridView(FlexGrid* grid);

    // The old control's key code for a key: letters and digits as upper-case ASCII,
    // 8 Backspace, 9 Tab, 13 Enter, 27 Escape, 32 Space, 33-40 paging and arrows,
    // 45 Insert, 46 Delete, 112.. F1..; other keys keep Qt's code; 0 for none.
    static int vbKeyCode(const QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cellAt(const QPoint& pos, int& row, int& col) const;
    FlexGrid* m_grid;
};
