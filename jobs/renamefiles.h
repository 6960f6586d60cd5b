#pragma once

// What the renaming dialog does, without the dialog: each file's new name carries its page
// count (at a character position of the base name, in front of it or behind it, with
// one-character separators and zero padding to the length of a mask); the preview marks new
// names that are already taken, and the apply renames without ever replacing a file.

#include "platform/fileio/renamenoreplace.h"

#include <QString>
#include <cstdint>

namespace renamefiles {

// The error-log owner of the renaming dialog's procedures.
inline constexpr QStringView kOwner = u" of Form frmRenameFiles at time";

enum class Placement { None, AtCharPos, Prefix, Suffix };

// The dialog's "Name pattern" boxes, as typed.
struct NamePattern {
    Placement placement = Placement::None;
    QString charPos;      // 1-based position in the base name; "" is taken as "1"
    QString sepAtCharPos; // separator for AtCharPos, put before and/or after the count:
    bool sepBefore = false;
    bool sepAfter = false;
    QString sepPrefix;    // between a leading count and the base name
    QString sepSuffix;    // between the base name and a trailing count
    QString paddingMask;  // only its length counts
};

// The count as decimal text, with "0"s in front up to the mask's length (never cut).
QString GetInputMask(const QString& mask, int32_t count);

// The new name of `name` (the part after its last "." is kept as the extension) with the
// page count `pages` (decimal text). Raises 5 for a name without "." or a position below 1,
// 13 or 6 for a count or position that is no 32-bit number.
QString NewFileName(const QString& name, const QString& pages, const NamePattern& pattern);

// The key filters: which typed characters each kind of box takes (Backspace always).
bool CharPosKeyAccepted(QChar c);     // 1 to 9; a 0 never
bool PaddingMaskKeyAccepted(QChar c); // 0 to 9
bool SeparatorKeyAccepted(QChar c);   // anything but \ / * : ? " < > |

// True when `newName` may replace `name` in the same folder: not empty, not "." or "..", no
// NUL and no "/", and no more of \ * : ? " < > | than the current name already has (separators
// pasted past the key filters must not move files into other folders or give them names
// other programs refuse).
bool AcceptableNewName(const QString& name, const QString& newName);

// The grid's data rows, 0-based, as the preview and the apply read and write them.
class RenameRows {
public:
    virtual ~RenameRows() = default;
    virtual int rowCount() const = 0;
    virtual QString name(int row) const = 0;
    virtual QString location(int row) const = 0;
    virtual QString pages(int row) const = 0;
    virtual QString newName(int row) const = 0;
    // `taken`: something is already at the new name in the row's folder (shown in red).
    virtual void setNewName(int row, const QString& newName, bool taken) = 0;
};

// Writes every row's new name; an empty position becomes "1" in the pattern. Raises at the
// first row that cannot be named, after emptying the new names from that row on, so no name
// of an earlier preview is left to be applied. Changes nothing on disk.
void Preview(RenameRows& rows, NamePattern& pattern);

// True when every row has an acceptable new name.
bool ValidateFilenames(const RenameRows& rows);

// What an apply could not do, each entry followed by CR LF.
struct ApplyLists {
    QString notFound;     // source paths
    QString alreadyThere; // target paths
    QString failed;       // "source  To  target"
    bool empty() const { return notFound.isEmpty() && alreadyThere.isEmpty() && failed.isEmpty(); }
};

// Renames each row's file to its new name, in row order, never replacing anything. A file
// whose name or folder did not survive decoding (it shows U+FFFD) is listed as not found.
ApplyLists Apply(const RenameRows& rows);

// One rename without replacing; a failure writes one error-log line ("RenameFile").
fileio::RenameOutcome RenameFile(const QString& source, const QString& target);

} // namespace renamefiles
