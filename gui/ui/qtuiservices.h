#pragma once

#include "core/uiservices.h"

#include <QStringList>
#include <chrono>

// UiServices over real Qt dialogs and the desktop's launcher.
class QtUiServices : public UiServices {
public:
    // What "Print" runs, the file added as its last argument, and how long it may take.
    QStringList printCommand{QStringLiteral("lp")};
    std::chrono::milliseconds printLimit = std::chrono::seconds(60);

    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString BrowseForFolder(QObject* owner, const QString& startFolder, const QString& title) override;
    QString GetSaveFileName(QObject* owner, SaveDialogRequest& request) override;
    bool PrinterDialog(QObject* owner) override;
    int ShowModal(QObject* dialog) override;
    ShellResult ShellExecute(const QString& verb, const QString& path, const QString& parameters,
                             const QString& workingFolder) override;
    bool OpenWith(const QString& path) override;
};
