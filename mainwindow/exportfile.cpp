#include "mainwindow/exportfile.h"

#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "platform/fileio/atomicwriter.h"

namespace exportfile {

Table CopyRows(int rowCount, int colCount, const std::function<bool(int row)>& exported,
               const std::function<QString(int row, int col)>& text) {
    Table t;
    t.dropped = QList<bool>(colCount, false);
    auto rowTexts = [&](int r) {
        QStringList cells;
        cells.reserve(colCount);
        for (int c = 0; c < colCount; ++c)
            cells << text(r, c);
        return cells;
    };
    t.header = rowTexts(0);
    for (int r = 1; r < rowCount; ++r)
        if (exported(r)) t.rows << rowTexts(r);
    return t;
}

void WriteDelimited(const Table& table, const QString& path, QChar separator) {
    QList<int> kept;
    for (int c = 0; c < table.dropped.size(); ++c)
        if (!table.dropped[c]) kept << c;

    fileio::AtomicWriter writer(path);
    auto failed = [&writer] { raiseError(writer.errorNumber(), writer.errorString()); };
    if (!writer.open()) failed();
    QString line;
    auto writeRow = [&](const QStringList& cells) {
        line.clear();
        for (qsizetype i = 0; i < kept.size(); ++i) {
            if (i) line += separator;
            if (kept[i] < cells.size()) line += cells[kept[i]];
        }
        line += QLatin1String("\r\n");
        if (!writer.write(line.toUtf8())) failed();
    };
    writeRow(table.header);
    for (const QStringList& row : table.rows)
        writeRow(row);
    if (!writer.commit()) failed();
}

QString ExtensionOfType(const QString& typeText) {
    return typeText.right(4).left(3);
}

QString ExportFileName(const QString& folder, QString name, const QString& extension) {
    const QString suffix = QLatin1Char('.') + extension;
    if (name.contains(QLatin1Char('.')) && name.endsWith(suffix, Qt::CaseSensitive)) name.chop(suffix.size());
    return modGeneral::ValidateDir(folder) + name + suffix;
}

bool IsReservedChar(int code) {
    switch (code) {
    case '|': case '\\': case '?': case '>': case '<': case ':': case '/': case '*': case '"':
        return true;
    default:
        return false;
    }
}

} // namespace exportfile
