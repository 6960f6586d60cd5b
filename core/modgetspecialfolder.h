#pragma once

#include <QString>
#include <functional>

namespace modGetSpecialFolder {

// Special-folder identifiers the program asks for.
constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_APPDATA = 26;

// The folder's path, or "" (unknown identifier, or no such folder here).
// 26: the per-user application-data folder; 0: the desktop folder.
QString GetSpecialfolder(int folderId);

// Replaces where the folders come from (tests); an empty source restores the real one.
// Answers the previous source.
using SpecialFolderSource = std::function<QString(int folderId)>;
SpecialFolderSource setSpecialFolderSource(SpecialFolderSource source);

} // namespace modGetSpecialFolder
