#pragma once

// The seam between the program and everything that would block on a person or start
// another program: message boxes, pickers, file and printer dialogs, modal shows and
// shell launches. Start-up installs the Qt implementation; tests install a scripted fake.

#include <QString>
#include <QStringList>

class QObject;

enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgAnswer { OK = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

// What came of a shell launch.
struct ShellResult {
    enum Outcome {
        Started,   // a program took it
        NoProgram, // nothing on this desktop opens it (for a file, the Open With chooser can help)
        Failed     // it was tried and failed
    };
    Outcome outcome = Started;
    QString reason; // why not, in the desktop's or the failing program's own words; may be empty

    bool started() const { return outcome == Started; }
};

struct SaveDialogRequest {
    QString title;
    QString startFolder;
    QString fileName;      // proposed name
    QStringList filters;   // e.g. "Text files (*.txt)"
    int filterIndex = 0;   // 0-based, in and out
    bool overwritePrompt = true;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    virtual MsgAnswer MsgBox(const QString& text, MsgButtons buttons = MsgButtons::OK,
                             MsgIcon icon = MsgIcon::None, const QString& title = QString()) = 0;

    // Folder picker; "" when cancelled.
    virtual QString BrowseForFolder(QObject* owner, const QString& startFolder, const QString& title) = 0;

    // Save-file dialog; the chosen path, or "" when cancelled. Updates request.filterIndex.
    virtual QString GetSaveFileName(QObject* owner, SaveDialogRequest& request) = 0;

    // Printer set-up dialog; true when the user accepted.
    virtual bool PrinterDialog(QObject* owner) = 0;

    // Shows a dialog (a QDialog) modally and answers its result code.
    virtual int ShowModal(QObject* dialog) = 0;

    // Opens a path or a link with a shell verb ("open", "Open", "Explore"), or hands a file to
    // the print system ("Print"), and answers what came of it. Shows nothing itself.
    virtual ShellResult ShellExecute(const QString& verb, const QString& path, const QString& parameters,
                                     const QString& workingFolder) = 0;

    // Shows the Open With chooser for a file.
    virtual bool OpenWith(const QString& path) = 0;
};

// The installed implementation (never null once start-up or a test has installed one).
UiServices& Ui();
// Installs `services` (not owned); answers the previous one.
UiServices* SetUi(UiServices* services);
