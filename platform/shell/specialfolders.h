#pragma once

#include <QString>

namespace platform {
// The desktop folder (the folder tree's "Desktop").
QString desktopFolder();
// The per-user application-data folder: $XDG_DATA_HOME, else ~/.local/share.
QString appDataFolder();
// The user's home folder.
QString homeFolder();
} // namespace platform
