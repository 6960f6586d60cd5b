#pragma once

// The file grid of the tool dialogs that act on handed-over files (vsFilesSetOrder of the
// image-to-PDF, set-order-and-merge and renaming dialogs): its columns follow the process-
// wide column list, so a dialog shows them in the order, widths and visibility the user
// gave the result grid; its rows are the dialog's file records, in collection order.
//
// A dialog sets its grid up in its Form_Load, columns first, and reads cells by key:
//
//   dialoggrid::InitFiles(*vsFilesSetOrder, dialoggrid::SetOrder, u" of Form frmSetOrder_MConTiff at time");
//   dialoggrid::FillGrid(*vsFilesSetOrder, colSelectedData, dialoggrid::SetOrder,
//                        u" of Form frmSetOrder_MConTiff at time");
//   const QString name = vsFilesSetOrder->TextMatrix(row, dialoggrid::ColumnOf(u"Name"));
//   const clsColSetOrderGrid record = dialoggrid::RecordFromRow(*vsFilesSetOrder, row);
//
// The kinds differ only in what Kind says. Each call traps its own failures: one error-log
// line naming "InitFiles" or "FillGrid" and the owner text, and the grid keeps what was set
// up so far.

#include "core/clscolsetordergrid.h"

#include <QString>

class FlexGrid;

namespace dialoggrid {

enum Kind {
    SetOrder,   // hides "Selection"; "Pages" shows the record's count, empty when it has none
    ImageToPdf, // hides "Selection" and "Modified Date"; "Pages" as SetOrder
    Renaming,   // hides every column but "Name"; "Pages" holds the count as text ("0" when none);
                // one more column, "New file name", at NewFileNameColumn(), filled with ""
};

// Row count 1 (the header), columns from AppGridColumns and arrColumnVisibility.
void InitFiles(FlexGrid& grid, Kind kind, QStringView owner);
// One row per record from row 1 on, every "Selection" box checked, the cursor on row 1.
void FillGrid(FlexGrid& grid, const clsColSetOrderGridList& records, Kind kind, QStringView owner);

// The grid column of a key (GetColumnIndexByKey: exact key, 0 when unknown).
int ColumnOf(QStringView key);
// The renaming grid's extra column: just after the listed columns.
int NewFileNameColumn();

// The file record of a data row of any grid laid out by the column list (the result grid,
// a dialog grid): the display texts as they stand, "Pages" as a number when it is one,
// else 0. Range and FileExt stay empty.
clsColSetOrderGrid RecordFromRow(const FlexGrid& grid, int row);

} // namespace dialoggrid
