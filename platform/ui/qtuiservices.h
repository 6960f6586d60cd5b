#pragma once

#include "core/uiservices.h"

// UiServices over real Qt dialogs and the desktop's launcher.
class QtUiServices : public UiServices {
public:
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString BrowseForFolder(QObject* owner, const QString& startFolder, const QString& title) override;
    QString GetSaveFileName(QObject* owner, SaveDialogRequest& request) override;
    bool PrinterDialog(QObject* owner) override;
    int ShowModal(QObject* dialog) override;
    bool ShellExecute(const QString& verb, const QString& path, const QString& parameters,
                      const QString& workingFolder) override;
    bool OpenWith(const QString& path) override;
};
