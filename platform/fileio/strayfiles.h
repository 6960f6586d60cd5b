#pragma once

// Hidden files that a killed process left beside its targets, and the locks that tell them
// from the ones a live process is using.
//
// Every hidden entry of ours (HiddenKind) is locked with flock for as long as its writer
// uses it; a kill releases the lock with the process. The first writer into a folder then
// finds the entries nobody holds and puts them right: a file being written is removed, a
// staging folder's files go back as its record says (StagingFolder). A file system that
// cannot lock leaves its entries alone: none can be told from one in use.

#include <QByteArray>
#include <QtGlobal>

namespace fileio {

// Takes the lock of the hidden entry open as `fd` under `path`. 0 once the lock is held
// and `path` still leads to that entry; EWOULDBLOCK when someone else holds it; ENOENT when
// the name has gone or leads elsewhere (a sweep removed it meanwhile); the system error for
// a file system without locks.
int lockHiddenEntry(int fd, const QByteArray& path);

// Whether a lock error means the file system cannot lock at all.
bool locksUnsupported(int err);

// Puts right the stale hidden entries in `folder`, the first time this process writes there
// (AtomicWriter) or, with `since` from newSweepEpoch(), once per call (OutputSet).
void sweepFolderOnce(const QByteArray& folder, quint64 since = 0);
quint64 newSweepEpoch();

} // namespace fileio
