#pragma once

#include <QString>
#include <QStringList>
#include <chrono>

namespace platform {

// Hands `file` to the print system: runs `command` (the program, then its own arguments) with
// the file as its last argument and waits for it, the window painting meanwhile. Answers ""
// when the command took the file; otherwise what it said on its error output (or on its
// standard output when that is all it said), or why it did not run or finish within `limit`.
QString PrintFile(const QString& file, const QStringList& command, std::chrono::milliseconds limit);

} // namespace platform
