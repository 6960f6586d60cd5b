#pragma once

#include "core/gridcolumn.h"

#include <QString>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

// The keyed, ordered column list every file grid is described by (AppGridColumns).
// Positions are 1-based; keys compare ignoring case.
// Columns are shared: a column obtained before a re-order stays valid, though it may no
// longer be the one in the list.
class GridColumns {
    struct Entry {
        QString key; // empty when unkeyed
        std::shared_ptr<GridColumn> column;
    };

public:
    using ColumnPtr = std::shared_ptr<GridColumn>;
    // A 1-based position or a key.
    using IndexKey = std::variant<int, QString>;

    // Adds a column filed under sKey (unkeyed when empty), before `Before` or after `After`
    // (a position or a key), else at the end. A duplicate key or a missing Before/After
    // item is logged and answers nullptr; the list is then unchanged.
    ColumnPtr add(const QString& ColumnKey, float ColumnWidth, int16_t ColumnIndex, const QString& ColumnName,
                  int32_t ColumnDatatype, const QString& sKey = QString(),
                  const std::optional<IndexKey>& Before = std::nullopt,
                  const std::optional<IndexKey>& After = std::nullopt);

    // The column at a 1-based position or under a key (any letter case); nullptr when none.
    ColumnPtr Item(int position) const;
    ColumnPtr Item(const QString& key) const;

    int32_t Count() const { return static_cast<int32_t>(m_items.size()); }

    // Takes a column out; a missing one is ignored.
    void Remove(int position);
    void Remove(const QString& key);

    // 1-based position of the column filed under `key` (any letter case), 0 when none.
    int PositionOf(const QString& key) const;

    // Walks the columns in list order: for (const GridColumns::ColumnPtr& c : *AppGridColumns).
    class const_iterator {
    public:
        explicit const_iterator(std::vector<Entry>::const_iterator it) : m_it(it) {}
        const ColumnPtr& operator*() const { return m_it->column; }
        const ColumnPtr* operator->() const { return &m_it->column; }
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return m_it == o.m_it; }
        bool operator!=(const const_iterator& o) const { return m_it != o.m_it; }

    private:
        std::vector<Entry>::const_iterator m_it;
    };
    const_iterator begin() const { return const_iterator(m_items.cbegin()); }
    const_iterator end() const { return const_iterator(m_items.cend()); }

private:
    int indexOf(const IndexKey& indexKey) const; // 0-based, -1 when none
    void removeAt(int index);
    std::vector<Entry> m_items;
};
