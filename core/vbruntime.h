#pragma once

// The classic runtime's conversions and display formats, with its rounding and
// its error numbers (13 type mismatch, 6 overflow).

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace vb {

// Round half to even, as the runtime's integer conversions do.
double BankersRound(double value);

int16_t CInt(double value);
int16_t CInt(const QString& text);
int32_t CLng(double value);
int32_t CLng(const QString& text);
float CSng(double value);
float CSng(const QString& text);
double CDbl(const QString& text);

// Leading number of a text; blanks, tabs and line feeds are skipped anywhere, "&H"/"&O"
// prefixes are read as hex/octal; 0 when the text does not start with a number.
double Val(const QString& text);

// True when the text converts to a number (surrounding blanks, sign, decimal point,
// exponent, group separators, "&H"/"&O" allowed).
bool IsNumeric(const QString& text);

// "dd/mm/yyyy hh:mm ampm", e.g. "05/03/2026 02:07 PM".
QString FormatGridDate(const QDateTime& when);

// Whole kilobytes as "###,###,##0" followed by " KB", e.g. "1,024 KB".
QString FormatKB(qint64 kilobytes);

// "###,###,##0" alone.
QString FormatThousands(qint64 value);

} // namespace vb
