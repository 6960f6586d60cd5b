#include "gui/ui/qtuiservices.h"

#include "core/globals.h"
#include "gui/ui/defaultapp.h"
#include "gui/ui/printcommand.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

QWidget* asWidget(QObject* owner) {
    if (auto* w = qobject_cast<QWidget*>(owner))
        return w;
    return QApplication::activeWindow();
}

} // namespace

MsgAnswer QtUiServices::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OKCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MsgButtons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    default: return buttons == MsgButtons::OK ? MsgAnswer::OK : MsgAnswer::Cancel;
    }
}

QString QtUiServices::BrowseForFolder(QObject* owner, const QString& startFolder, const QString& title) {
    return QFileDialog::getExistingDirectory(asWidget(owner), title, startFolder, QFileDialog::ShowDirsOnly);
}

QString QtUiServices::GetSaveFileName(QObject* owner, SaveDialogRequest& request) {
    QFileDialog dlg(asWidget(owner), request.title, request.startFolder);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (!request.filters.isEmpty()) {
        dlg.setNameFilters(request.filters);
        if (request.filterIndex >= 0 && request.filterIndex < request.filters.size())
            dlg.selectNameFilter(request.filters.at(request.filterIndex));
    }
    if (!request.fileName.isEmpty())
        dlg.selectFile(request.fileName);
    if (!request.overwritePrompt)
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    request.filterIndex = request.filters.indexOf(dlg.selectedNameFilter());
    return dlg.selectedFiles().constFirst();
}

bool QtUiServices::PrinterDialog(QObject* owner) {
    QPrinter printer;
    QPrintDialog dlg(&printer, asWidget(owner));
    return dlg.exec() == QDialog::Accepted;
}

int QtUiServices::ShowModal(QObject* dialog) {
    if (auto* d = qobject_cast<QDialog*>(dialog))
        return d->exec();
    return 0;
}

ShellResult QtUiServices::ShellExecute(const QString& verb, const QString& path, const QString& parameters,
                                       const QString& workingFolder) {
    Q_UNUSED(parameters);
    Q_UNUSED(workingFolder);
    if (verb.compare(QLatin1String("print"), Qt::CaseInsensitive) == 0) {
        const QString failure = platform::PrintFile(path, printCommand, printLimit);
        return failure.isEmpty() ? ShellResult{} : ShellResult{ShellResult::Failed, failure};
    }
    const bool link = path.contains(QLatin1String("://")) || path.startsWith(QLatin1String("mailto:"));
    // The desktop's launcher answers success as soon as it starts, whether or not anything
    // can open the file or link: ask the MIME database first.
    if (link) {
        const QUrl url(path);
        // Besides the MIME database, the desktop's launcher tries the browser the system or
        // the user names for web links.
        const bool web = url.scheme().startsWith(QLatin1String("http"));
        const bool namedBrowser = web && (!qEnvironmentVariableIsEmpty("BROWSER") ||
                                          !QStandardPaths::findExecutable(QStringLiteral("x-www-browser")).isEmpty());
        if (!namedBrowser && !platform::hasDefaultApplicationForScheme(url.scheme().toLatin1()))
            return {ShellResult::NoProgram,
                    url.scheme() == QLatin1String("mailto")
                        ? QStringLiteral("No mail program is set up on this desktop.")
                        : QStringLiteral("No web browser is set up on this desktop.")};
        if (!QDesktopServices::openUrl(url))
            return {ShellResult::Failed, QStringLiteral("The desktop could not start a program for it.")};
        return {};
    }
    const QFileInfo info(path);
    if (!info.exists()) return {ShellResult::Failed, QStringLiteral("It is not there any more.")};
    if (!platform::hasDefaultApplication(QFile::encodeName(path)))
        return {ShellResult::NoProgram,
                info.isDir() ? QStringLiteral("No file manager is set up on this desktop.")
                             : QStringLiteral("No program on this desktop opens this type of file.")};
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return {ShellResult::Failed, QStringLiteral("The desktop could not start a program for it.")};
    return {};
}

bool QtUiServices::OpenWith(const QString& path) {
    // No desktop-independent chooser exists; our own fallback lets the user name a program.
    const QString program = QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                                         QStringLiteral("Open With"), QStringLiteral("/usr/bin"));
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, {path});
}
