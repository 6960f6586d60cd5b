#pragma once

// The fixed tables start-up builds the process-wide objects from.

#include <QString>

class GridColumns;

namespace modMasterLayout {

// Adds the eight result-grid columns in their default order, widths and types.
void AddDefaultGridColumns(GridColumns& columns);

// Sets arrLastGridColWidth from `lastGridColWidth` and, when it has one element per
// column, applies each element as the width of the column at that list position.
// An element that is not a number keeps that column's width and is logged.
void ApplySavedColumnWidths(GridColumns& columns, const QString& lastGridColWidth);

// Fills FilterPatterns 0 to 10; 11 stays empty.
void FillFilterPatterns();

} // namespace modMasterLayout
