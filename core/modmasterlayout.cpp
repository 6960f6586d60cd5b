#include "core/modmasterlayout.h"

#include "core/filefolderscan.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/uiservices.h"

namespace modMasterLayout {

void ShellOpen(const QString& verb, const QString& file, const QString& parameters, const QString& workingFolder,
               int showCommand) {
    Q_UNUSED(showCommand); // the desktop decides how the opened program shows itself
    const ShellResult result = Ui().ShellExecute(verb, file, parameters, workingFolder);
    if (result.started()) return;
    const bool print = verb.compare(QLatin1String("print"), Qt::CaseInsensitive) == 0;
    // No program for an existing file's type: the user may name one.
    if (!print && result.outcome == ShellResult::NoProgram && FileFolderScan::IsExistingFile(file)) {
        Ui().OpenWith(file);
        return;
    }
    // Anything else the desktop could not do would otherwise go unnoticed: say what and why.
    const QString what =
        (print ? QStringLiteral("Unable to print \"%1\".") : QStringLiteral("Unable to open \"%1\"."))
            .arg(file);
    const QString why =
        result.reason.isEmpty() ? QStringLiteral("No program on this desktop can open it.") : result.reason;
    Ui().MsgBox(what + QStringLiteral("\r\n") + why, MsgButtons::OK, MsgIcon::Exclamation, kAppTitle);
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
