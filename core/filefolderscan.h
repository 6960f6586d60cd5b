#pragma once

// Existence tests and folder creation. Paths use "/"; "*" and "?" are characters of names.

#include <QString>

namespace FileFolderScan {

// True when a file was there and is deleted.
bool DeleteExistingFile(const QString& path);
// True for an existing file that is not a folder; false for a blank path.
bool IsExistingFile(const QString& path);
// True for an existing file or folder. Cuts one trailing "/" off the caller's variable
// (the root "/" stays as it is).
bool IsExistingPath(QString& path);
// True when the whole folder path exists afterwards (every missing level is created).
bool CreatePath(const QString& path);
bool MakeDirectoryPath(const QString& path);

} // namespace FileFolderScan
