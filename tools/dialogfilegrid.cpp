#include "tools/dialogfilegrid.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/runtimeerror.h"
#include "core/vbruntime.h"
#include "gui/widgets/flexgrid.h"

#include <QScopeGuard>

namespace dialoggrid {

namespace {

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
const QString kDateFormat = QStringLiteral("dd/mm/yyyy hh:mm ampm");
const QString kNewFileName = QStringLiteral("New file name");
constexpr int kNewFileNameWidth = 1200;

bool hiddenInDialog(Kind kind, const QString& key) {
    switch (kind) {
    case SetOrder: return key == QLatin1String("Selection");
    case ImageToPdf: return key == QLatin1String("Selection") || key == QLatin1String("Modified Date");
    case Renaming: return key != QLatin1String("Name");
    }
    return false;
}

QString pagesText(Kind kind, int32_t pages) {
    if (kind == Renaming) return QString::number(pages);
    return pages > 0 ? QString::number(pages) : QString();
}

} // namespace

int ColumnOf(QStringView key) {
    return modGeneral::GetColumnIndexByKey(key.toString());
}

int NewFileNameColumn() {
    return AppGridColumns ? AppGridColumns->Count() : 0;
}

void InitFiles(FlexGrid& grid, Kind kind, QStringView owner) {
    trap(u"InitFiles", owner, [&] {
        if (!AppGridColumns) raiseError(91);
        grid.setRows(1);
        grid.setEditable(false);
        const int listed = AppGridColumns->Count();
        grid.setCols(kind == Renaming ? listed + 1 : listed);
        grid.setColAlignment(-1, kLeft);
        // A flag beyond the listed columns has no column to hide (the renaming grid's extra
        // column takes no flag).
        for (qsizetype i = 0; i < arrColumnVisibility.size() && i < listed; ++i)
            grid.setColHidden(int(i), arrColumnVisibility.at(i) != QLatin1String("1"));
        for (const GridColumns::ColumnPtr& c : *AppGridColumns) {
            const int col = c->ColumnIndex;
            grid.setTextMatrix(0, col, c->ColumnName);
            grid.setColWidth(col, vb::CLng(c->ColumnWidth));
            grid.setColDataType(col, c->ColumnDatatype);
            if (c->ColumnDatatype == GridColumn::Date) grid.setColFormat(col, kDateFormat);
            if (c->ColumnDatatype == GridColumn::Decimal) grid.setColAlignment(col, kRight);
            if (GridColumn::CutInTheMiddle(c->ColumnKey)) grid.setColElide(col, Qt::ElideMiddle);
            // Never shows a column again: one its flag hid stays hidden.
            if (hiddenInDialog(kind, c->ColumnKey)) grid.setColHidden(col, true);
        }
        if (kind == Renaming) {
            grid.setTextMatrix(0, listed, kNewFileName);
            grid.setColWidth(listed, kNewFileNameWidth);
            grid.setColDataType(listed, GridColumn::Text);
        }
    });
}

void FillGrid(FlexGrid& grid, const clsColSetOrderGridList& records, Kind kind, QStringView owner) {
    trap(u"FillGrid", owner, [&] {
        const int name = ColumnOf(u"Name"), selection = ColumnOf(u"Selection"), location = ColumnOf(u"Location"),
                  size = ColumnOf(u"Size (In KB)"), type = ColumnOf(u"Type"), created = ColumnOf(u"Created Date"),
                  modified = ColumnOf(u"Modified Date"), pages = ColumnOf(u"Pages");
        grid.BeginAppend();
        const auto endAppend = qScopeGuard([&] { grid.EndAppend(); });
        int row = 1;
        for (const clsColSetOrderGrid& record : records) {
            grid.setRows(row + 1);
            grid.setTextMatrix(row, name, record.filename());
            grid.setCellChecked(row, selection, flexChecked);
            grid.setTextMatrix(row, location, record.FileLocation());
            grid.setTextMatrix(row, size, record.FileSize());
            grid.setTextMatrix(row, type, record.FileType());
            grid.setTextMatrix(row, created, record.FileCreDate());
            grid.setTextMatrix(row, modified, record.FileModDate());
            grid.setTextMatrix(row, pages, pagesText(kind, record.PageCount()));
            if (kind == Renaming) grid.setTextMatrix(row, NewFileNameColumn(), QString());
            ++row;
        }
        if (grid.Rows() > 1) grid.setRow(1);
    });
}

clsColSetOrderGrid RecordFromRow(const FlexGrid& grid, int row) {
    clsColSetOrderGrid record;
    record.setFilename(grid.TextMatrix(row, ColumnOf(u"Name")));
    record.setFileLocation(grid.TextMatrix(row, ColumnOf(u"Location")));
    record.setFileSize(grid.TextMatrix(row, ColumnOf(u"Size (In KB)")));
    record.setFileType(grid.TextMatrix(row, ColumnOf(u"Type")));
    record.setFileCreDate(grid.TextMatrix(row, ColumnOf(u"Created Date")));
    record.setFileModDate(grid.TextMatrix(row, ColumnOf(u"Modified Date")));
    const QString pages = grid.TextMatrix(row, ColumnOf(u"Pages"));
    int32_t count = 0;
    // A number beyond 32 bits is no page count either.
    if (vb::IsNumeric(pages)) quietly([&] { count = vb::CLng(pages); });
    record.setPageCount(count);
    return record;
}

} // namespace dialoggrid
