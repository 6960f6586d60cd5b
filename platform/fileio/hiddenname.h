#pragma once

// The short hidden names our files take beside their targets while they are not yet in
// place (".qm-XXXXXXXX.tmp"): short enough to fit beside a target name of any legal length.

#include <QByteArray>

namespace fileio {

// A fresh random hidden name in `folder` (not yet checked against what is there).
QByteArray hiddenNameIn(const QByteArray& folder);

// Whether unnamed files can be given a name: through /proc (missing in a bare chroot).
bool canNameUnnamedFiles();

// Gives the unnamed file open as `fd` the name `path`; 0, or the system error.
int nameUnnamedFile(int fd, const QByteArray& path);

// Gives the unnamed file open as `fd` (or, with fd -1, the file at `path`, a link itself not
// followed) a second, hidden name in `folder`. Answers the name, or an empty one with `err` set.
QByteArray linkUnderHiddenName(int fd, const QByteArray& path, const QByteArray& folder, int& err);

} // namespace fileio
