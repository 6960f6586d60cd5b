#pragma once

// How the result grid orders its rows: which sort a header click turns into, and the
// comparisons behind the grid's four sort codes.

#include <QString>

namespace resultgrid {

// The grid's sort codes.
enum SortCode { GenericAscending = 1, GenericDescending = 2, NumericAscending = 3, NumericDescending = 4 };

// Column data types as the column list records them.
enum ColumnType { TypeDate = 7, TypeText = 8, TypeBoolean = 11, TypeDecimal = 14 };

// The format of the grid's date cells (vb::FormatGridDate writes them).
inline const QString kGridDateFormat = QStringLiteral("dd/mm/yyyy hh:mm ampm");

// The order a header sort of column `key` really uses. "Pages", "Size (In KB)" and,
// with numeric name sorting on, "Name" sort numerically; "Name" with it off sorts
// generically. The direction the click asked for is kept.
int BeforeSortOrder(const QString& key, int order, bool sortByNumeric);

// Compares two cell texts of a column of `dataType` under sort code `order`
// (negative, 0, positive as a < b, a == b, a > b, ascending; the caller reverses for
// the descending codes). Generic: dates as dates, decimals as numbers ("1,234 KB" is
// 1234), other text ignoring case. Numeric: the same, but text in natural order. Cells
// without a date or number ("Error", blank) come below every value. The rules are the
// grid's own (core/flexsort.h).
int CompareCells(const QString& a, const QString& b, int dataType, int order);

// True for the descending codes 2 and 4.
bool IsDescending(int order);

} // namespace resultgrid
