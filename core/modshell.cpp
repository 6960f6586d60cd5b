#include "core/modshell.h"

#include "core/uiservices.h"

namespace ModShell {

QString BrowseForFolder(QObject* owner, const QString& startFolder, const QString& title, bool includeFiles,
                        bool newStyle) {
    Q_UNUSED(includeFiles);
    Q_UNUSED(newStyle);
    return Ui().BrowseForFolder(owner, startFolder, title);
}

} // namespace ModShell
