#include "core/modmasterlayout.h"

#include "core/filefolderscan.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/uiservices.h"

namespace modMasterLayout {

void ShellOpen(const QString& verb, const QString& file, const QString& parameters, const QString& workingFolder,
               int showCommand) {
    Q_UNUSED(showCommand); // the desktop decides how the opened program shows itself
    if (Ui().ShellExecute(verb, file, parameters, workingFolder))
        return;
    // Nothing could open it: for a file that means no program is associated with its type.
    if (FileFolderScan::IsExistingFile(file))
        Ui().OpenWith(file);
}

bool ValidateCmdLine(const QString& commandLine) {
    const QStringList paths = commandLine.split(QLatin1Char('|'));
    // Only the first path decides; the test may cut a trailing "/" from its argument,
    // so it gets a copy.
    QString folder = modGeneral::GetParentFolderName(paths.constFirst());
    if (!FileFolderScan::IsExistingPath(folder))
        return false;
    CmdLineFolder = modGeneral::GetParentFolderName(paths.constFirst());
    CmdLineFiles = paths;
    return true;
}

QString TrimNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

void FormLoadHook(QObject* form) { Q_UNUSED(form); }

void TaskbarAddTab(QObject* window) { Q_UNUSED(window); }

void TaskbarDeleteTab(QObject* window) { Q_UNUSED(window); }

} // namespace modMasterLayout
