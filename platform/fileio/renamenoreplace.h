#pragma once

// Renaming a user's file without ever replacing another one.
//
// rename(2) silently replaces whatever is at the target. renameNoReplace asks the kernel to
// refuse instead (RENAME_NOREPLACE), so a file that appears at the target between a check and
// the rename is never lost; where the file system cannot do that, it links the file under the
// new name (a link never replaces) and then removes the old name.

#include <QString>

namespace fileio {

enum class RenameOutcome {
    Renamed,
    TargetExists,  // something (a file, a folder, a link) is at the target; nothing changed
    SourceMissing, // nothing at the source; nothing changed
    Failed,        // see the system error; nothing changed
};

// `systemError` (when given) receives errno for Failed, 0 otherwise.
RenameOutcome renameNoReplace(const QString& source, const QString& target, int* systemError = nullptr);

// True when anything at all is at the path: a file, a folder, a link (even a dangling one).
bool entryExists(const QString& path);
// True for a path that leads to something other than a folder (a link is followed).
bool fileExists(const QString& path);

// Test seam: pretend the file system cannot rename without replacing, so the link fallback
// is taken.
void setNoReplaceRenameAllowed(bool allowed);

} // namespace fileio
