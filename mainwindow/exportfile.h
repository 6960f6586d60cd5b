#pragma once

// The export of checked rows as delimited text, without the windows: the copy of the rows,
// the columns left out, the target's name and the file itself.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace exportfile {

// What the export dialog's "filename" reads when it was left without saving.
inline const QString kCancelled = QStringLiteral("//Cancelled//");

// A copy of a grid: its header captions and its rows, columns in display order, with the
// columns that will not reach the file marked.
struct Table {
    QStringList header;
    QList<QStringList> rows;
    QList<bool> dropped; // per column

    // Leaves a column out of the file.
    void drop(int col) { dropped[col] = true; }
};

// The header and every row for which `exported` answers true, each cell read by `text`
// (row 0 is the header; data rows start at 1).
Table CopyRows(int rowCount, int colCount, const std::function<bool(int row)>& exported,
               const std::function<QString(int row, int col)>& text);

// Writes the kept columns of the header and the rows, fields joined by `separator`, every
// row ended by CR LF, as UTF-8, through the atomic writer. Fields are written as they are:
// nothing is quoted. A failure raises RuntimeError with the writer's number and text.
void WriteDelimited(const Table& table, const QString& path, QChar separator);

// The extension a file-type text names: the three characters before its closing
// parenthesis ("CSV File (*.csv)" -> "csv").
QString ExtensionOfType(const QString& typeText);

// The target path: `name` loses a final "." + extension typed in exactly that case (and
// only that), then gets "." + extension; the folder gets one "/" when it has none.
QString ExportFileName(const QString& folder, QString name, const QString& extension);

// The characters a typed file name may not hold: | \ ? > < : / * and the double quote.
bool IsReservedChar(int code);

} // namespace exportfile
