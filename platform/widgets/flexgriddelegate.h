#pragma once

// Paints the check box of a Boolean cell centred, so that the narrow check column of the
// file grids shows the whole box.

#include <QStyledItemDelegate>

class FlexGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
