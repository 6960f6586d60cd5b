#pragma once

// The file grid control: a 1-based table over a QAbstractTableModel shown in a QTableView.
// Row 0 is the one fixed header row (its cells are the column captions); data rows are
// 1 .. Rows() - 1. There is no fixed column: grid column 0 is a data column, and a grid
// column number always equals its display position (a header drag moves the model column).
//
// Out-of-range rows or columns raise RuntimeError 381, so a caller's trap sees the failure
// the way the old control reported it.

#include <QColor>
#include <QIcon>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <functional>

class FlexGridModel;
class FlexGridView;
class QTableView;

// Check state of a cell (only cells of a Boolean column carry one).
enum FlexCheck : int {
    flexNoCheckbox = 0, // the cell shows no box (reads as text "")
    flexChecked = 1,    // ticked (reads as text "1")
    flexUnchecked = 2,  // empty box (reads as text "0"); a new row's Boolean cells start so
};

// Sort codes, as BeforeSort and setSort take them.
enum FlexSort : int {
    flexSortNone = 0, // BeforeSort may set this to cancel a header sort
    flexSortGenericAscending = 1,
    flexSortGenericDescending = 2,
    flexSortNumericAscending = 3,
    flexSortNumericDescending = 4,
};

// Column data types (the same codes the column list stores).
enum FlexDataType : int {
    flexDTDate = 7,
    flexDTString = 8,
    flexDTBoolean = 11, // cells show check boxes; the only cells the user can tick
    flexDTDecimal = 14,
};

class FlexGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTwipsPerPixel = 15;

    // A comparator for one sort: negative, 0 or positive for a before, equal or after b in
    // ascending order (the grid reverses it for descending codes; the sort is stable).
    using Comparator = std::function<int(const QString& a, const QString& b)>;
    // Asked once per sort with the column and the final code; an empty Comparator means
    // "use the grid's own rule" (see DefaultComparator below).
    using CompareHook = std::function<Comparator(int col, int order)>;

    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    // --- shape -----------------------------------------------------------------------
    int Rows() const;       // header row included, so never below 1
    void setRows(int rows); // 1 clears every data row; growing appends empty rows
    int Cols() const;
    void setCols(int cols); // new columns: text type, left-aligned, 1000 twips
    static constexpr int FixedRows() { return 1; }

    // --- cells (row 0 = header caption) -------------------------------------------------
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    // Boolean columns: the text and the check state are one value ("1", "0", "").
    // Setting "1", "-1" or "True" (any case) checks, anything else unchecks.

    int CellChecked(int row, int col) const; // FlexCheck; flexNoCheckbox outside Boolean columns
    // Ignored on the header row and outside Boolean columns.
    void setCellChecked(int row, int col, int state);
    // One operation over the rectangle (rows row1..row2, cols col1..col2, in either order);
    // cells outside Boolean columns are skipped.
    void setCellCheckedRange(int row1, int col1, int row2, int col2, int state);

    QIcon CellPicture(int row, int col) const;
    void setCellPicture(int row, int col, const QIcon& picture); // null icon removes it
    QColor CellForeColor(int row, int col) const;                // invalid = default colour
    void setCellForeColor(int row, int col, const QColor& color);

    // --- rows -------------------------------------------------------------------------
    // Appends one row (missing cells stay empty, extra ones are dropped); answers its number.
    int AddItem(const QStringList& cells = {});
    // Appends many rows with one insert notification.
    void AddRows(const QList<QStringList>& rows);
    // Between these, appended rows (AddItem, setRows growing) reach the view only at
    // EndAppend, in one insert; reads and writes through this class see them at once.
    // Redraw off batches the same way. Nested pairs are counted.
    void BeginAppend();
    void EndAppend();
    void RemoveItem(int row);
    void RowPosition(int row, int newPosition); // moves a data row (both >= 1)

    // --- columns ------------------------------------------------------------------------
    int ColWidth(int col) const; // twips; a hidden column answers its real width
    void setColWidth(int col, int twips);
    bool ColHidden(int col) const;
    void setColHidden(int col, bool hidden);
    int ColDataType(int col) const; // FlexDataType
    void setColDataType(int col, int type);
    QString ColFormat(int col) const; // e.g. "dd/mm/yyyy hh:mm ampm" for date columns
    void setColFormat(int col, const QString& format);
    Qt::Alignment ColAlignment(int col) const;
    void setColAlignment(int col, Qt::Alignment alignment); // col -1: every column
    // How a text too long for its cell is cut: Qt::ElideRight (the default), Qt::ElideMiddle
    // for paths, whose end tells them apart. A decimal column never cuts a number: it drops
    // the unit after it ("140,314 KB" shows "140,314"), and a number that still does not fit
    // shows "#" marks. A cut cell shows its whole text as a tool tip.
    Qt::TextElideMode ColElide(int col) const;
    void setColElide(int col, Qt::TextElideMode mode);
    QString ColKey(int col) const;                          // free text the caller may attach to a column
    void setColKey(int col, const QString& key);
    // Moves column col to display position newPosition from code (no AfterMoveColumn).
    void ColPosition(int col, int newPosition);

    // --- behaviour ----------------------------------------------------------------------
    bool Editable() const; // when on, a left click or Space ticks Boolean cells
    void setEditable(bool on);
    bool UserSort() const; // a header click sorts (raising BeforeSort)
    void setUserSort(bool on);
    bool UserMoveColumns() const; // a header drag moves the column (raising AfterMoveColumn)
    void setUserMoveColumns(bool on);
    bool Redraw() const;
    void setRedraw(bool on); // off: no painting, appends batched; on: catches up

    // --- sorting ----------------------------------------------------------------------
    // Sorts by the current column (Col()) with a code 1-4; other codes do nothing.
    // BeforeSort is not raised: it belongs to the user's header click.
    void setSort(int order);
    void SortBy(int col, int order);
    void setCompareHook(CompareHook hook);
    // The grid's own rules, used when the hook answers no comparator:
    //   generic (1, 2): by the column's data type: dates as dates (the column format or
    //     ISO), decimals by their leading number, Boolean by check state, text ignoring case;
    //   numeric (3, 4): by the leading number of the text (group separators skipped);
    //     texts without a number sort below every number, among themselves ignoring case.
    Comparator DefaultComparator(int col, int order) const;

    // --- search -----------------------------------------------------------------------
    // First data row from startRow (-1: from row 1) whose text in col equals text,
    // ignoring case; -1 when none.
    int FindRow(const QString& text, int startRow = -1, int col = 0) const;

    // --- cursor and highlighted range --------------------------------------------------
    int Row() const;    // current row (-1: none)
    int Col() const;    // current column; 0 until the cursor moves, kept when rows go
                        // (a header sort makes the sorted column current); -1 without columns
    int RowSel() const; // far end of the highlighted row range (equals Row() for one row)
    int ColSel() const;
    void setRow(int row); // moves the cursor and highlights that row alone
    void setCol(int col);
    // The highlighted rectangle, ordered (row1 <= row2, col1 <= col2); all -1 when none.
    void GetSelection(int& row1, int& col1, int& row2, int& col2) const;
    void Select(int row1, int col1, int row2 = -1, int col2 = -1); // -1: same as the first
    QList<int> SelectedRows() const;                               // every highlighted data row, ascending
    int MouseRow() const; // row under the last mouse press (0 header, -1 none)
    int MouseCol() const;

    // The old control's shift and button codes: shift 1, ctrl 2, alt 4; left 1, right 2, middle 4.
    static int ShiftState(Qt::KeyboardModifiers modifiers);
    static int ButtonCode(Qt::MouseButton button);
    static constexpr int TwipsFromPixels(int px) { return px * kTwipsPerPixel; }
    // Rounded in 64 bits: a saved width may be as large as an int holds.
    static constexpr int PixelsFromTwips(int twips) {
        return int((qint64(twips) + kTwipsPerPixel / 2) / kTwipsPerPixel);
    }

    QTableView* view() const; // for focus, screenshots and tests
    FlexGridModel* model() const;

signals:
    // Header click, before sorting: handlers may change order (flexSortNone cancels).
    void BeforeSort(int col, int& order);
    void AfterSort(int col, int order); // after every sort, by header or from code
    // A user's header drag moved the column; raised once, never for a drop on its own place.
    void AfterMoveColumn(int oldPosition, int newPosition);
    // A key press on the grid; setting keyCode to 0 consumes it (e.g. Space is then not
    // toggled by the grid). keyCode: the old control's codes (letters and digits as
    // upper-case ASCII, 32 Space, 13 Enter, 16/17/18 for Shift/Ctrl/Alt themselves...),
    // shift: ShiftState. Handlers should trap their errors; one that escapes is dropped.
    void KeyDown(int& keyCode, int shift);
    // A press on a cell (row >= 1), the header (row 0) or empty space (row -1); raised after
    // the cursor moved, before any check box toggles.
    void MouseDown(int button, int shift, int row, int col, QPoint globalPos);
    // Raised after whatever the press changed (check states included).
    void MouseUp(int button, int shift, int row, int col);
    void DblClick(int row, int col);
    // The user toggled a check box (mouse or Space).
    void AfterEdit(int row, int col);
    void SelChange();

private:
    friend class FlexGridView;
    void checkRow(int row) const;
    void checkCol(int col) const;
    void onHeaderMoved(int logical, int oldVisual, int newVisual);
    void onHeaderClicked(int logical);
    void onHeaderResized(int logical, int oldSize, int newSize);
    void applyColumnToView(int col);
    void applyAllColumnsToView();
    void sortNow(int col, int order);
    void toggleCell(int row, int col);
    bool tickable(int row, int col) const;

    FlexGridModel* m_model;
    FlexGridView* m_view;
    CompareHook m_compareHook;
    bool m_editable = false;
    bool m_userSort = false;
    bool m_userMove = false;
    bool m_redraw = true;
    bool m_syncingHeader = false;
    int m_lastSortCol = -1;
    int m_lastSortOrder = flexSortNone;
    int m_col = 0;
    int m_mouseRow = -1;
    int m_mouseCol = -1;
};
