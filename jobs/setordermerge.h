#pragma once

// What the set-order-and-merge dialog decides without its window: the name box's rules, the
// merged PDF's path, the checks of a Convert, and moving a block of rows up or down.

#include <QChar>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace setorder {

// The characters a file name may not hold: \ / * : ? " < > |
bool IsRefusedNameChar(QChar c);
// The name box's tool tip once it has refused a key (its "\n" is two characters).
QString RefusedNameTip();

// A name the merged PDF may be written under: not empty, none of the refused characters
// (typed or pasted), and not "." or "..", so that nothing lands outside the chosen folder.
bool IsValidFileName(const QString& name);

// ValidateDir(folder), then the name up to its last "." (all of it when it has none), then
// ".pdf": "a.b.c" in "/out" gives "/out/a.b.pdf".
QString TargetPath(const QString& folder, const QString& name);

// The checks of a Convert, in this order, each failure shown in its message box:
// the name ("Please provide valid file name."), an empty folder box ("Invalid Output Folder
// Path"), an existing target (replace it? No stops, Yes goes ahead at once), and a folder that
// is not there ("Please enter Valid folder Name"). True when the merge may go ahead.
bool ValidateInput(const QString& name, const QString& folder);

// A selected block of the grid: rows from 1 (the header is row 0), columns from 0.
struct GridBlock {
    int top = 0, left = 0, bottom = 0, right = 0;
};

// What a move does to the grid: each row to its new position (the grid's RowPosition), in
// this order, then the block to select.
struct BlockMove {
    std::vector<std::pair<int, int>> rowMoves;
    GridBlock selection;
};

// "&Up" and "Do&wn": the selected block of rows (the cursor row when nothing more is
// selected) moves one row, and stays selected at its new place. A block at the top (Up) or
// at the bottom (Down), or a cursor row there, stays where it is: no move. `rows` counts the
// header row, as the grid's Rows() does.
std::optional<BlockMove> MoveBlockUp(const GridBlock& selected, int cursorRow);
std::optional<BlockMove> MoveBlockDown(const GridBlock& selected, int cursorRow, int rows);

} // namespace setorder
