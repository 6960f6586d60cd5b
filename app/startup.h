#pragma once

#include <QStringList>

namespace modMasterLayout {

// Start-up: reads the command line (the program's arguments, without its own path),
// makes sure the data folder exists, loads or creates the settings, builds the
// process-wide objects and shows the main window. Answers whether a window opened;
// when it did not, the program has nothing left to do, and `exitStatus` (when given) says
// whether that is a failure (1: the data folder could not be made) or not (0).
bool Main(const QStringList& arguments, int* exitStatus = nullptr);

} // namespace modMasterLayout
