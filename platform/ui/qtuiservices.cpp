#include "platform/ui/qtuiservices.h"

#include "core/globals.h"
#include "platform/ui/defaultapp.h"

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

bool QtUiServices::ShellExecute(const QString& verb, const QString& path, const QString& parameters,
                                const QString& workingFolder) {
    Q_UNUSED(parameters);
    Q_UNUSED(workingFolder);
    if (verb.compare(QLatin1String("print"), Qt::CaseInsensitive) == 0)
        return QProcess::startDetached(QStringLiteral("lp"), {path});
    if (path.contains(QLatin1String("://")) || path.startsWith(QLatin1String("mailto:")))
        return QDesktopServices::openUrl(QUrl(path));
    // The desktop's launcher answers success as soon as it starts, whether or not anything
    // can open the file: ask the MIME database first, so a file no program takes gets the
    // Open With chooser.
    if (!platform::hasDefaultApplication(QFile::encodeName(path)))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtUiServices::OpenWith(const QString& path) {
    // No desktop-independent chooser exists; our own fallback lets the user name a program.
    const QString program = QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                                         QStringLiteral("Open With"), QStringLiteral("/usr/bin"));
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, {path});
}
