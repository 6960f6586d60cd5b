#include "core/gridcolumns.h"

#include "core/errortrap.h"
#include "core/runtimeerror.h"

GridColumns::ColumnPtr GridColumns::add(const QString& ColumnKey, float ColumnWidth, int16_t ColumnIndex,
                                        const QString& ColumnName, int32_t ColumnDatatype, const QString& sKey,
                                        const std::optional<IndexKey>& Before,
                                        const std::optional<IndexKey>& After) {
    ColumnPtr added;
    trap(u"Add", u" of Class Module GridColumns at time", [&] {
        auto column = std::make_shared<GridColumn>();
        column->ColumnKey = ColumnKey;
        column->ColumnWidth = ColumnWidth;
        column->ColumnIndex = ColumnIndex;
        column->ColumnName = ColumnName;
        column->ColumnDatatype = ColumnDatatype;

        if (!sKey.isEmpty() && PositionOf(sKey) > 0)
            raiseError(457);
        qsizetype at = static_cast<qsizetype>(m_items.size());
        if (Before) {
            at = indexOf(*Before);
            if (at < 0)
                raiseError(5);
        } else if (After) {
            at = indexOf(*After);
            if (at < 0)
                raiseError(5);
            ++at;
        }
        m_items.insert(m_items.begin() + at, Entry{sKey, column});
        added = column;
    });
    return added;
}

int GridColumns::indexOf(const IndexKey& indexKey) const {
    if (const int* position = std::get_if<int>(&indexKey))
        return *position >= 1 && *position <= Count() ? *position - 1 : -1;
    return PositionOf(std::get<QString>(indexKey)) - 1;
}

int GridColumns::PositionOf(const QString& key) const {
    if (key.isEmpty())
        return 0;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].key.compare(key, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i) + 1;
    return 0;
}

GridColumns::ColumnPtr GridColumns::Item(int position) const {
    const int i = indexOf(IndexKey(position));
    return i < 0 ? nullptr : m_items[static_cast<size_t>(i)].column;
}

GridColumns::ColumnPtr GridColumns::Item(const QString& key) const {
    const int i = indexOf(IndexKey(key));
    return i < 0 ? nullptr : m_items[static_cast<size_t>(i)].column;
}

void GridColumns::removeAt(int index) {
    if (index >= 0)
        m_items.erase(m_items.begin() + index);
}

void GridColumns::Remove(int position) { removeAt(indexOf(IndexKey(position))); }

void GridColumns::Remove(const QString& key) { removeAt(indexOf(IndexKey(key))); }
