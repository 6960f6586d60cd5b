#include "gui/widgets/flexgriddelegate.h"

#include "gui/widgets/flexgridmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace {

// The room the style leaves a cell's text: its text rectangle less the margins it draws in.
int textWidth(const QStyleOptionViewItem& opt) {
    const QWidget* widget = opt.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).width() - 2 * margin;
}

// A number with its unit ("140,314 KB") fits without the unit, since the column's caption
// names it; a number that does not fit even so shows "#" marks, never part of its digits.
// Answers false for a text that is not a number ("Error"), which is cut like any text.
bool fitNumber(const QString& text, const QFontMetrics& fm, int width, QString& shown) {
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    const QString number = space > 0 ? text.left(space) : text;
    bool digit = false;
    for (const QChar ch : number) {
        if (ch.isDigit())
            digit = true;
        else if (!QStringLiteral(",.-+").contains(ch))
            return false;
    }
    if (!digit) return false;
    if (fm.horizontalAdvance(number) <= width) {
        shown = number;
    } else {
        const int mark = std::max(fm.horizontalAdvance(QLatin1Char('#')), 1);
        shown = QString(std::max(width, 0) / mark, QLatin1Char('#'));
    }
    return true;
}

} // namespace

void FlexGridDelegate::prepare(QStyleOptionViewItem& opt, const QModelIndex& index) const {
    initStyleOption(&opt, index);
    if (opt.text.isEmpty()) return;
    const int width = textWidth(opt);
    if (opt.fontMetrics.horizontalAdvance(opt.text) <= width) return;
    QString shown;
    const bool decimal = index.data(FlexGridModel::DecimalRole).toBool();
    if (!(decimal && fitNumber(opt.text, opt.fontMetrics, width, shown)))
        shown = opt.fontMetrics.elidedText(
            opt.text, Qt::TextElideMode(index.data(FlexGridModel::ElideRole).toInt()), std::max(width, 0));
    // Cut here, so what is painted is what shownText answers.
    opt.text = shown;
    opt.textElideMode = Qt::ElideNone;
}

QString FlexGridDelegate::shownText(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.data(FlexGridModel::BooleanRole).toBool()) return {};
    QStyleOptionViewItem opt = option;
    prepare(opt, index);
    return opt.text;
}

void FlexGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    if (!index.data(FlexGridModel::BooleanRole).toBool()) {
        prepare(opt, index);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        return;
    }
    initStyleOption(&opt, index);
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

bool FlexGridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString whole = index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
    if (whole.isEmpty() || shownText(option, index) == whole) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), whole, view->viewport(), option.rect);
    return true;
}
