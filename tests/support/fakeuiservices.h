#pragma once

#include "core/uiservices.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>

// Scripted UiServices for tests: answers come from queues (or defaults), and every
// call is recorded so tests can check what a person would have seen.
class FakeUiServices : public UiServices {
public:
    struct Shown {
        QString text;
        MsgButtons buttons;
        MsgIcon icon;
        QString title;
    };
    struct Launch {
        QString verb;
        QString path;
    };

    // Scripted answers; when a queue is empty the default is used.
    std::deque<MsgAnswer> msgAnswers;
    MsgAnswer defaultMsgAnswer = MsgAnswer::OK;
    std::deque<QString> folderAnswers;
    std::deque<QString> saveAnswers;
    std::deque<int> saveFilterIndexes;
    bool printerAnswer = false;
    // Called with the dialog when it would be shown modally; answers the result code.
    std::function<int(QObject*)> onShowModal;
    // false: nothing opens it (NoProgram). A non-empty shellFailure: the launch failed with
    // that reason (a print command's error output, say).
    bool shellResult = true;
    QString shellFailure;

    QList<Shown> messages;
    QList<QString> folderRequests;
    QList<SaveDialogRequest> saveRequests;
    QList<QObject*> modalShows;
    QList<Launch> launches;
    QList<QString> openWith;
    int printerDialogs = 0;

    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override {
        messages.append({text, buttons, icon, title});
        if (!msgAnswers.empty()) {
            const MsgAnswer a = msgAnswers.front();
            msgAnswers.pop_front();
            return a;
        }
        if (defaultMsgAnswer == MsgAnswer::OK && buttons == MsgButtons::YesNo)
            return MsgAnswer::No;
        return defaultMsgAnswer;
    }
    QString BrowseForFolder(QObject*, const QString& startFolder, const QString&) override {
        folderRequests.append(startFolder);
        return pop(folderAnswers);
    }
    QString GetSaveFileName(QObject*, SaveDialogRequest& request) override {
        if (!saveFilterIndexes.empty()) {
            request.filterIndex = saveFilterIndexes.front();
            saveFilterIndexes.pop_front();
        }
        saveRequests.append(request);
        return pop(saveAnswers);
    }
    bool PrinterDialog(QObject*) override {
        ++printerDialogs;
        return printerAnswer;
    }
    int ShowModal(QObject* dialog) override {
        modalShows.append(dialog);
        return onShowModal ? onShowModal(dialog) : 0;
    }
    ShellResult ShellExecute(const QString& verb, const QString& path, const QString&,
                             const QString&) override {
        launches.append({verb, path});
        if (!shellFailure.isEmpty()) return {ShellResult::Failed, shellFailure};
        return {shellResult ? ShellResult::Started : ShellResult::NoProgram, QString()};
    }
    bool OpenWith(const QString& path) override {
        openWith.append(path);
        return true;
    }

    QStringList messageTexts() const {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }

private:
    static QString pop(std::deque<QString>& q) {
        if (q.empty())
            return QString();
        QString s = q.front();
        q.pop_front();
        return s;
    }
};

// Installs a fake for the lifetime of a test and restores the previous services.
class ScopedFakeUi {
public:
    ScopedFakeUi() : m_previous(SetUi(&fake)) {}
    ~ScopedFakeUi() { SetUi(m_previous); }
    FakeUiServices fake;

private:
    UiServices* m_previous;
};
