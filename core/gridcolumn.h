#pragma once

#include <QString>
#include <cstdint>

// One column of a file grid. ColumnDatatype is the variant type code of its values.
struct GridColumn {
    enum Datatype : int32_t { Text = 8, Boolean = 11, Decimal = 14, Date = 7 };

    QString ColumnName;         // header caption
    int16_t ColumnIndex = 0;    // 0-based display position = grid column number
    float ColumnWidth = 0;      // twips
    QString ColumnKey;          // lookup key
    int32_t ColumnDatatype = 0; // Datatype

    // The file name and folder columns: what tells two of them apart is usually at the end
    // (a page number, an extension, the last folder), so a long one is cut in the middle.
    static bool CutInTheMiddle(const QString& key) {
        return key == QLatin1String("Location") || key == QLatin1String("Name");
    }
};
