#pragma once

// The short hidden names our files take beside their targets while they are not yet in
// place: ".qm-XXXXXXXX.tmp" for a file being written, ".qm-XXXXXXXX.set" for the folder
// that holds the files of a call writing several (StagingFolder). Short enough to fit
// beside a target name of any legal length.

#include <QByteArray>

namespace fileio {

enum class HiddenKind { None, File, Staging };

// A fresh random hidden name in `folder` (not yet checked against what is there).
QByteArray hiddenNameIn(const QByteArray& folder, HiddenKind kind = HiddenKind::File);

// Which of our hidden names `name` (a name within a folder) is, if any.
HiddenKind hiddenKindOf(const char* name);

// Whether unnamed files can be given a name: through /proc (missing in a bare chroot).
bool canNameUnnamedFiles();

// Gives the unnamed file open as `fd` the name `path`; 0, or the system error.
int nameUnnamedFile(int fd, const QByteArray& path);

// Renames `from` to `to`: replacing what is there, or, without `replace`, only while
// nothing is (where the file system cannot refuse to replace, by a link, which never
// does). 0, or the system error.
int moveIntoPlace(const QByteArray& from, const QByteArray& to, bool replace);

// Gives the unnamed file open as `fd` a second, hidden name in `folder`. Answers the name,
// or an empty one with `err` set.
QByteArray linkUnderHiddenName(int fd, const QByteArray& folder, int& err);

} // namespace fileio
