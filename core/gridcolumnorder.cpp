// The column lookups and the re-ordering by the column settings.
#include "core/modgeneral.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/runtimeerror.h"
#include "core/settings.h"
#include "core/vbruntime.h"

#include <cmath>

namespace modGeneral {

namespace {
constexpr QStringView kOwner = u" of Module modGeneral at time";
}

int16_t GetColumnIndexByKey(const GridColumns& columns, const QString& key) {
    for (const GridColumns::ColumnPtr& column : columns)
        if (column->ColumnKey == key)
            return column->ColumnIndex;
    return 0;
}

int16_t GetColumnIndexByKey(const QString& key) {
    return AppGridColumns ? GetColumnIndexByKey(*AppGridColumns, key) : int16_t(0);
}

void LoadGridColumns(GridColumns& columns, const QString& columnReOrder, const QString& lastGridColWidth,
                     QStringList& reorderArray) {
    reorderArray = columnReOrder.split(QLatin1Char(','));
    const QStringList widths = lastGridColWidth.split(QLatin1Char(','));
    for (qsizetype i = 0; i < reorderArray.size(); ++i) {
        const QString key = reorderArray.at(i).trimmed();
        const GridColumns::ColumnPtr column = columns.Item(key);
        if (!column)
            continue;
        // In place only when both its index and its list position already say i; the
        // index alone can match while the column sits elsewhere in the list.
        const int position = columns.PositionOf(key);
        if (column->ColumnIndex == i && position == i + 1)
            continue;

        // Decide the width before the column leaves the list, so a bad width can never
        // lose the column.
        float width = column->ColumnWidth;
        if (column->ColumnName == QLatin1String("Selection")) {
            width = 250;
        } else if (i >= widths.size() || !vb::IsNumeric(widths.at(i))) {
            trap(u"LoadGridColumns", kOwner, [&] { raiseError(i >= widths.size() ? 9 : 13); });
        } else {
            const double value = vb::CDbl(widths.at(i));
            if (value >= 0 && value <= 2147483647.0)
                width = static_cast<float>(vb::BankersRound(value));
        }

        const QString columnKey = column->ColumnKey;
        const QString name = column->ColumnName;
        const int32_t datatype = column->ColumnDatatype;
        const QString filedKey = key; // the key it is filed under, found ignoring case
        columns.Remove(filedKey);
        const auto index = static_cast<int16_t>(i);
        if (i + 1 <= columns.Count())
            columns.add(columnKey, width, index, name, datatype, columnKey, GridColumns::IndexKey(int(i + 1)));
        else
            columns.add(columnKey, width, index, name, datatype, columnKey);
    }
}

void LoadGridColumns() {
    if (!AppGridColumns || !AppSettings)
        return;
    LoadGridColumns(*AppGridColumns, AppSettings->ColumnReOrder(), AppSettings->LastGridColWidth(), arrColumnReOrder);
}

} // namespace modGeneral
