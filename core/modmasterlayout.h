#pragma once

// Start-up helpers that need no window: the command line, the shell launcher, and the
// small hooks the windows call. Main itself lives in app/ (it shows windows).

#include <QString>

class QObject;

namespace modMasterLayout {

// Opens `file` (a path or a link) with a shell verb ("open", "Open", "Explore", "Print").
// When nothing can open an existing file, offers the Open With chooser for it; any other
// failure is shown in a message that names the file or link and says why.
// `parameters`, `workingFolder` and `showCommand` are passed on where the desktop has a use
// for them.
void ShellOpen(const QString& verb, const QString& file, const QString& parameters = QString(),
               const QString& workingFolder = QString(), int showCommand = 1);

// Splits the command text on "|". When the parent folder of the first path exists, sets
// CmdLineFolder to it and CmdLineFiles to all paths and answers true; otherwise changes
// nothing and answers false. The text is used as it is: no quotes removed, nothing trimmed.
bool ValidateCmdLine(const QString& commandLine);

// The text cut before its first NUL character.
QString TrimNull(const QString& text);

// Called by windows while they load; nothing to do here.
void FormLoadHook(QObject* form);

// A taskbar button of our own for a window. The desktop gives every top-level window
// its button already, so both have nothing to do here.
void TaskbarAddTab(QObject* window);
void TaskbarDeleteTab(QObject* window);

} // namespace modMasterLayout
