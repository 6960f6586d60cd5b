#pragma once

// Value readings and comparisons grids sort and display with: the grid control's own rules,
// and the result grid's column rules (resultgrid::CompareCells) built from the same pieces,
// so there is one natural order and one way of reading a grid date. Qt Core only.

#include <QDateTime>
#include <QString>

namespace flexsort {

// "1", "-1" and "True" (any case, surrounding blanks ignored): the texts that tick a box.
bool isTrueText(const QString& text);

// A display format as the column list stores it ("dd/mm/yyyy hh:mm ampm") in Qt's terms
// ("dd/MM/yyyy hh:mm AP"): "mm" right after an hour means minutes, otherwise months.
QString qtDateFormat(const QString& format);

// The text read as a date: in the column's format first, then ISO 8601; invalid when neither.
QDateTime parseDate(const QString& text, const QString& format);

// The date as a number that sorts in wall-clock order (no time-zone lookup); false when
// the text is not a date. Cheaper than parseDate for the common fixed-width formats.
bool dateSortValue(const QString& text, const QString& format, double& value);

// What a date cell shows: ISO texts in the column's format, any other text as it stands.
QString displayDate(const QString& text, const QString& format);

// The number a text starts with, blanks skipped, group separators "," inside the digits
// allowed ("1,024 KB" is 1024, "-3.5x" is -3.5). False when the text starts with no digit.
bool leadingNumber(const QString& text, double& value);

// Each answers < 0, 0 or > 0 for a before, equal to or after b in ascending order.
int compareText(const QString& a, const QString& b); // ignoring case
// By leading number; texts without one sort below every number, among themselves as text.
int compareNumeric(const QString& a, const QString& b);
// As dates in wall-clock order (dateSortValue); texts that are not dates sort below every
// date, among themselves as text.
int compareDates(const QString& a, const QString& b, const QString& format);
// Natural order: runs of decimal digits compared by value, everything else ignoring case:
// "file2" < "file10". Equal numbers written with more leading zeros come later ("file2" <
// "file02"), but only when nothing else tells the texts apart ("a01b" < "a1c"). Texts that
// differ in letter case alone are equal, so a stable sort keeps them in the order found.
int naturalCompare(const QString& a, const QString& b);

} // namespace flexsort
