#pragma once

// What the set-order-and-merge dialog decides without its window: the name box's rules, the
// merged PDF's path, the checks of a Convert, and moving a block of rows up or down.

#include <QChar>
#include <QString>

class FlexGrid;

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

// "&Up" and "Do&wn": the selected block of rows (the cursor row when nothing more is
// selected) moves one row, and stays selected at its new place. A block at the top (Up) or
// at the bottom (Down), or a cursor row there, stays where it is.
void MoveBlockUp(FlexGrid& grid);
void MoveBlockDown(FlexGrid& grid);

} // namespace setorder
