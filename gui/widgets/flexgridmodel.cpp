#include "gui/widgets/flexgridmodel.h"

#include "core/flexsort.h"
#include "gui/widgets/flexgrid.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

FlexGridModel::FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {
    m_pictures.append(QIcon());
}

int FlexGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_announced;
}

int FlexGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols();
}

bool FlexGridModel::isBoolean(int c) const {
    return m_columns[size_t(c)].dataType == flexDTBoolean;
}

QString FlexGridModel::cellText(int r, int c) const {
    const FlexCell& cl = cell(r, c);
    if (!isBoolean(c)) return cl.text;
    switch (cl.check) {
    case flexChecked:
        return QStringLiteral("1");
    case flexUnchecked:
        return QStringLiteral("0");
    default:
        return QString();
    }
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_announced || index.column() >= cols()) return {};
    const int r = index.row();
    const int c = index.column();
    const FlexCell& cl = cell(r, c);
    const FlexColumn& col = column(c);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // the whole text, for a cell that shows less of it
        if (col.dataType == flexDTBoolean) return {};
        if (col.dataType == flexDTDate && !col.format.isEmpty())
            return flexsort::displayDate(cl.text, col.format);
        return cl.text;
    case Qt::EditRole:
        return cellText(r, c);
    case Qt::CheckStateRole:
        if (col.dataType != flexDTBoolean || cl.check == flexNoCheckbox) return {};
        return cl.check == flexChecked ? Qt::Checked : Qt::Unchecked;
    case Qt::DecorationRole:
        return cl.picture ? QVariant(m_pictures[cl.picture]) : QVariant();
    case Qt::ForegroundRole:
        return cl.hasFore ? QVariant(QBrush(QColor::fromRgb(cl.fore))) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant(col.alignment);
    case BooleanRole:
        return col.dataType == flexDTBoolean;
    case ElideRole:
        return int(col.elide);
    case DecimalRole:
        return col.dataType == flexDTDecimal;
    default:
        return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= cols())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return column(section).caption;
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const {
    // Not user-checkable on purpose: the grid toggles check boxes itself, so that the key
    // and mouse handlers get their say first and nothing toggles twice.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

FlexGridModel::Row FlexGridModel::emptyRow() const {
    return Row(m_columns.size());
}

void FlexGridModel::setDataRows(int n) {
    n = std::max(n, 0);
    const int stored = storedRows();
    if (n == stored) return;
    if (n < stored) {
        if (n < m_announced) {
            beginRemoveRows({}, n, m_announced - 1);
            m_rows.resize(size_t(n));
            m_announced = n;
            endRemoveRows();
        } else {
            m_rows.resize(size_t(n));
        }
        return;
    }
    reserveFor(size_t(n));
    while (storedRows() < n)
        m_rows.push_back(emptyRow());
    if (!batching()) flush();
}

void FlexGridModel::setColumnCountTo(int n) {
    n = std::max(n, 0);
    const int old = cols();
    if (n == old) return;
    if (n < old)
        beginRemoveColumns({}, n, old - 1);
    else
        beginInsertColumns({}, old, n - 1);
    m_columns.resize(size_t(n));
    for (Row& row : m_rows)
        row.resize(size_t(n));
    if (n < old)
        endRemoveColumns();
    else
        endInsertColumns();
}

void FlexGridModel::appendRows(const QList<QStringList>& rows) {
    reserveFor(m_rows.size() + size_t(rows.size()));
    const int nc = cols();
    for (const QStringList& texts : rows) {
        Row row = emptyRow();
        const int n = std::min(nc, int(texts.size()));
        for (int c = 0; c < n; ++c) {
            if (isBoolean(c))
                row[size_t(c)].check = flexsort::isTrueText(texts[c]) ? flexChecked : flexUnchecked;
            else
                row[size_t(c)].text = texts[c];
        }
        m_rows.push_back(std::move(row));
        for (int c = 0; c < n; ++c)
            shareWithAbove(storedRows() - 1, c);
    }
    if (!batching()) flush();
}

void FlexGridModel::setCellText(int r, int c, const QString& text) {
    FlexCell& cl = cell(r, c);
    if (isBoolean(c)) {
        cl.check = flexsort::isTrueText(text) ? flexChecked : flexUnchecked;
    } else {
        cl.text = text;
        shareWithAbove(r, c);
    }
    cellChanged(r, c);
}

void FlexGridModel::shareWithAbove(int r, int c) {
    // Rows of one folder repeat their location, type and often their dates: share the
    // text with the row above instead of holding 100,000 copies.
    if (r == 0) return;
    FlexCell& cl = cell(r, c);
    const QString& above = cell(r - 1, c).text;
    if (!cl.text.isEmpty() && cl.text.size() == above.size() && !cl.text.isSharedWith(above) &&
        cl.text == above)
        cl.text = above;
}

void FlexGridModel::reserveFor(size_t n) {
    // Grow geometrically: appending row by row must not copy the table each time.
    if (n > m_rows.capacity()) m_rows.reserve(std::max(n, m_rows.capacity() * 2));
}

void FlexGridModel::removeDataRow(int r) {
    flush();
    beginRemoveRows({}, r, r);
    m_rows.erase(m_rows.begin() + r);
    --m_announced;
    endRemoveRows();
}

void FlexGridModel::moveDataRow(int from, int to) {
    if (from == to) return;
    flush();
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    Row row = std::move(m_rows[size_t(from)]);
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + to, std::move(row));
    endMoveRows();
}

namespace {
template <class V> void moveElement(V& v, int from, int to) {
    if (from < to)
        std::rotate(v.begin() + from, v.begin() + from + 1, v.begin() + to + 1);
    else
        std::rotate(v.begin() + to, v.begin() + from, v.begin() + from + 1);
}
} // namespace

void FlexGridModel::moveColumn(int from, int to) {
    if (from == to) return;
    flush();
    beginMoveColumns({}, from, from, {}, to > from ? to + 1 : to);
    moveElement(m_columns, from, to);
    for (Row& row : m_rows)
        moveElement(row, from, to);
    endMoveColumns();
}

void FlexGridModel::permuteRows(const std::vector<int>& order) {
    flush();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPos(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_rows[size_t(order[i])]));
        newPos[size_t(order[i])] = int(i);
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.append(index(newPos[size_t(idx.row())], idx.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

quint16 FlexGridModel::pictureIndex(const QIcon& icon) {
    if (icon.isNull()) return 0;
    const auto found = m_pictureByKey.constFind(icon.cacheKey());
    if (found != m_pictureByKey.constEnd()) return *found;
    if (m_pictures.size() >= 0xFFFF)
        return 0; // a table of 65,535 distinct pictures is already absurd; show none
    m_pictures.append(icon);
    const auto idx = quint16(m_pictures.size() - 1);
    m_pictureByKey.insert(icon.cacheKey(), idx);
    return idx;
}

QIcon FlexGridModel::picture(quint16 index) const {
    return index < m_pictures.size() ? m_pictures[index] : QIcon();
}

void FlexGridModel::endBatch() {
    if (m_batch > 0 && --m_batch == 0) flush();
}

void FlexGridModel::flush() {
    const int stored = storedRows();
    if (stored <= m_announced) return;
    beginInsertRows({}, m_announced, stored - 1);
    m_announced = stored;
    endInsertRows();
}

void FlexGridModel::cellChanged(int r, int c) {
    if (r < m_announced) {
        const QModelIndex i = index(r, c);
        emit dataChanged(i, i);
    }
}

void FlexGridModel::rangeChanged(int r1, int c1, int r2, int c2) {
    r2 = std::min(r2, m_announced - 1);
    if (r1 <= r2 && c1 <= c2) emit dataChanged(index(r1, c1), index(r2, c2));
}

void FlexGridModel::columnChanged(int c) {
    if (m_announced > 0) emit dataChanged(index(0, c), index(m_announced - 1, c));
}

void FlexGridModel::headerChanged(int c) {
    emit headerDataChanged(Qt::Horizontal, c, c);
}
