// The file grid the tool dialogs share: columns after the user's layout, rows by key.
#include "tools/dialogfilegrid.h"

#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/startuptables.h"
#include "gui/widgets/flexgrid.h"
#include "tests/support/testdir.h"

#include <gtest/gtest.h>

namespace {

constexpr QStringView kOwner = u" of Form frmTest at time";

class DialogGrid : public ::testing::Test {
protected:
    ScopedStorage storage;
    GridColumns columns;
    QStringList oldVisibility = arrColumnVisibility;
    GridColumns* oldColumns = AppGridColumns;
    FlexGrid grid;

    DialogGrid() {
        modMasterLayout::AddDefaultGridColumns(columns);
        AppGridColumns = &columns;
        arrColumnVisibility = QString("1,1,1,1,1,1,1,1").split(',');
    }
    ~DialogGrid() override {
        AppGridColumns = oldColumns;
        arrColumnVisibility = oldVisibility;
    }

    // The headers of the shown columns, left to right.
    QStringList shown() const {
        QStringList out;
        for (int c = 0; c < grid.Cols(); ++c)
            if (!grid.ColHidden(c)) out << grid.TextMatrix(0, c);
        return out;
    }
    static clsColSetOrderGrid record(const QString& name, int pages) {
        clsColSetOrderGrid r;
        r.setFilename(name);
        r.setFileLocation("/scans/" + name.left(1));
        r.setFileSize("1,234 KB");
        r.setFileType("TIFF image");
        r.setFileCreDate("01/02/2024 09:15 AM");
        r.setFileModDate("03/04/2024 10:30 PM");
        r.setPageCount(pages);
        return r;
    }
    QString cell(int row, const char* key) const { return grid.TextMatrix(row, dialoggrid::ColumnOf(QString(key))); }
};

} // namespace

TEST_F(DialogGrid, EachKindShowsTheListedColumnsLessItsOwnHiddenOnes) {
    dialoggrid::InitFiles(grid, dialoggrid::SetOrder, kOwner);
    EXPECT_EQ(shown(), QStringList({"Name", "Pages", "Location", "Size (In KB)", "Type", "Created Date",
                                    "Modified Date"}));
    dialoggrid::InitFiles(grid, dialoggrid::ImageToPdf, kOwner);
    EXPECT_EQ(shown(), QStringList({"Name", "Pages", "Location", "Size (In KB)", "Type", "Created Date"}));
    dialoggrid::InitFiles(grid, dialoggrid::Renaming, kOwner);
    EXPECT_EQ(shown(), QStringList({"Name", "New file name"}));
    EXPECT_EQ(dialoggrid::NewFileNameColumn(), 8);
    EXPECT_EQ(grid.ColWidth(8), 1200);

    const int created = dialoggrid::ColumnOf(u"Created Date");
    EXPECT_EQ(grid.ColFormat(created), "dd/mm/yyyy hh:mm ampm");
    EXPECT_EQ(grid.ColAlignment(dialoggrid::ColumnOf(u"Pages")) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(grid.ColAlignment(dialoggrid::ColumnOf(u"Size (In KB)")) & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(grid.ColAlignment(created) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_FALSE(grid.Editable());
    EXPECT_TRUE(storage.errorLog().isEmpty());
}

TEST_F(DialogGrid, ColumnsFollowTheUsersOrderWidthsAndHiddenFlags) {
    // The user moved "Type" to the front and hid "Location" (flags are in display order).
    QStringList order;
    modGeneral::LoadGridColumns(columns, "Type,Name,Selection,Pages,Location,Size (In KB),Created Date,Modified Date",
                                "900,1801,250,700,1500,1000,2000,2100", order);
    arrColumnVisibility = QString("1,1,1,1,0,1,1,1").split(',');

    dialoggrid::InitFiles(grid, dialoggrid::SetOrder, kOwner);
    EXPECT_EQ(shown(), QStringList({"Type", "Name", "Pages", "Size (In KB)", "Created Date", "Modified Date"}));
    for (const GridColumns::ColumnPtr& c : columns)
        EXPECT_EQ(grid.ColWidth(c->ColumnIndex), int(c->ColumnWidth)) << c->ColumnKey.toStdString();
    EXPECT_EQ(grid.ColWidth(0), 900);
    EXPECT_EQ(grid.ColWidth(1), 1801);
    EXPECT_TRUE(grid.ColHidden(dialoggrid::ColumnOf(u"Location")));

    // A flag hides "Name" in the renaming grid too, which then shows only its own column.
    arrColumnVisibility = QString("1,0,1,1,1,1,1,1").split(',');
    dialoggrid::InitFiles(grid, dialoggrid::Renaming, kOwner);
    EXPECT_EQ(shown(), QStringList({"New file name"}));
}

TEST_F(DialogGrid, RowsCarryEveryFieldByKeyInCollectionOrder) {
    QStringList order;
    modGeneral::LoadGridColumns(columns, "Modified Date,Location,Name,Selection,Pages,Size (In KB),Type,Created Date",
                                "2000,1800,1800,250,700,1000,1400,2000", order);
    const clsColSetOrderGridList records{record("b.tif", 12), record("a.jpg", 0)};
    for (dialoggrid::Kind kind : {dialoggrid::ImageToPdf, dialoggrid::Renaming}) {
        dialoggrid::InitFiles(grid, kind, kOwner);
        dialoggrid::FillGrid(grid, records, kind, kOwner);
        ASSERT_EQ(grid.Rows(), 3);
        EXPECT_EQ(grid.Row(), 1);
        for (int row : {1, 2}) {
            const clsColSetOrderGrid& r = records[row - 1];
            EXPECT_EQ(cell(row, "Name"), r.filename());
            EXPECT_EQ(cell(row, "Location"), r.FileLocation());
            EXPECT_EQ(cell(row, "Size (In KB)"), r.FileSize());
            EXPECT_EQ(cell(row, "Type"), r.FileType());
            EXPECT_EQ(cell(row, "Created Date"), r.FileCreDate());
            EXPECT_EQ(cell(row, "Modified Date"), r.FileModDate());
            EXPECT_EQ(grid.CellChecked(row, dialoggrid::ColumnOf(u"Selection")), flexChecked);
        }
        // The renaming grid writes every count; the others leave a file without one blank.
        EXPECT_EQ(cell(1, "Pages"), "12");
        EXPECT_EQ(cell(2, "Pages"), kind == dialoggrid::Renaming ? "0" : "");
        if (kind == dialoggrid::Renaming) {
            EXPECT_EQ(grid.TextMatrix(1, dialoggrid::NewFileNameColumn()), "");
        }

        // Read back, a row is the record it came from.
        const clsColSetOrderGrid back = dialoggrid::RecordFromRow(grid, 1);
        EXPECT_EQ(back.filename(), "b.tif");
        EXPECT_EQ(back.FileLocation(), "/scans/b");
        EXPECT_EQ(back.FileModDate(), "03/04/2024 10:30 PM");
        EXPECT_EQ(back.PageCount(), 12);
        EXPECT_EQ(dialoggrid::RecordFromRow(grid, 2).PageCount(), 0);
    }
    dialoggrid::InitFiles(grid, dialoggrid::SetOrder, kOwner);
    dialoggrid::FillGrid(grid, {}, dialoggrid::SetOrder, kOwner);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_TRUE(storage.errorLog().isEmpty());
}
