#pragma once

// Making files that were written without a sync survive a power cut, all at once: the
// file systems holding them write out whatever they still keep in memory.

#include <QStringList>

namespace fileio {

// Syncs the file system of each folder (each file system once). A folder that is gone
// holds nothing to keep and is passed over. False, with the classic error number (57 for a
// failed write to the device) and a text, when a file system reports that what it had to
// write did not reach the disk.
bool syncFileSystems(const QStringList& folders, int* errorNumber = nullptr, QString* error = nullptr);

} // namespace fileio
