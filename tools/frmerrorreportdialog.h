#pragma once

// "Reporting Errors": the files a tool could not process, as plain text in sections, which
// the user can save as a rich-text file. A tool creates the window, adds its sections and
// shows it modally through the UI seam; closing it hands control back to the tool:
//
//   frmErrorReportDialog report(this);
//   report.AddError(QStringLiteral("RENAMING FILES"), QStringLiteral("FOLLOWING FILES ALREADY EXISTS"),
//                   paths.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
//   Ui().ShowModal(&report);

#include <QDialog>
#include <QString>

class QPushButton;
class QTextEdit;

class frmErrorReportDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmErrorReportDialog(QWidget* parent = nullptr);

    // Appends one section of nine lines, each ending in CR LF: a rule of "=", Heading, a rule
    // of "=", a rule of "-", Subject, a rule of "-", an empty line, Discription (as given),
    // an empty line.
    void AddError(const QString& Heading, const QString& Subject, const QString& Discription);

    // The whole report as it would be saved, lines ending in CR LF.
    const QString& ReportText() const { return m_report; }

    // "&Save": asks for a file through the save-file seam and writes the report there as RTF
    // (atomically); a cancelled dialog saves nothing. The window stays open either way.
    void cmdSave_Click();
    void cmdCancel_Click();

    QTextEdit* RtxtError = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    QString ShowSaveDialog(const QString& filter);

    QString m_report;
};
