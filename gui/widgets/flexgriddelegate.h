#pragma once

// Paints the file grids' cells: the check box of a Boolean cell centred, so that the narrow
// check column shows the whole box; a text too long for its cell cut the column's way
// (FlexGrid::setColElide), never inside a number; and the whole text as a tool tip of a
// cell that shows less of it.

#include <QStyledItemDelegate>

class FlexGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The text the cell shows in `option` (its rectangle, font and widget).
    QString shownText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    // Fills `opt` for the cell and puts the shown text in it, already cut.
    void prepare(QStyleOptionViewItem& opt, const QModelIndex& index) const;
};
