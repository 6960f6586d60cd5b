#include "platform/widgets/flexgriddelegate.h"

#include "platform/widgets/flexgridmodel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

void FlexGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (!index.data(FlexGridModel::BooleanRole).toBool()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QVariant state = index.data(Qt::CheckStateRole);

    // Background and selection first, without the box, then the box in the middle.
    opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    opt.text.clear();
    opt.icon = QIcon();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    if (!state.isValid()) return;
    QStyleOptionViewItem box = opt;
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, widget);
    box.rect =
        QRect(opt.rect.x() + (opt.rect.width() - w) / 2, opt.rect.y() + (opt.rect.height() - h) / 2, w, h);
    box.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
    box.state |= state.value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
}
