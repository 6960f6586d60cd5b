#pragma once

#include <QString>

class QObject;

namespace ModShell {

// The folder picker, opened at `startFolder` when it is not empty; "" when cancelled.
// `includeFiles` and `newStyle` have no counterpart in our picker, which always shows
// folders only in its one style.
QString BrowseForFolder(QObject* owner, const QString& startFolder, const QString& title, bool includeFiles = false,
                        bool newStyle = true);

} // namespace ModShell
