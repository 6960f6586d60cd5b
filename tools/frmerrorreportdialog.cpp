#include "tools/frmerrorreportdialog.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/runtimeerror.h"
#include "core/uiservices.h"
#include "jobs/rtftext.h"
#include "platform/fileio/atomicwriter.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

constexpr QStringView kOwner = u" of Form frmErrorReportDialog at time";
const QString kEqualsRule(51, QLatin1Char('='));
const QString kDashRule(51, QLatin1Char('-'));
const QString kCrLf = QStringLiteral("\r\n");

// A filter in the common dialog's "Description|pattern|..." form, as Qt name filters.
QStringList nameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        const QString& patterns = parts.at(i + 1);
        const QString inParentheses = QLatin1Char('(') + patterns + QLatin1Char(')');
        out << (description.contains(inParentheses) ? description : description + QLatin1Char(' ') + inParentheses);
    }
    return out;
}

} // namespace

frmErrorReportDialog::frmErrorReportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmErrorReportDialog"));
    setWindowTitle(QStringLiteral("Reporting Errors"));
    resize(620, 420);

    RtxtError = new QTextEdit(this);
    RtxtError->setObjectName(QStringLiteral("RtxtError"));
    RtxtError->setReadOnly(true);
    RtxtError->setAcceptRichText(false);
    RtxtError->setLineWrapMode(QTextEdit::NoWrap);
    // The rules are drawn with characters; they line up only in a fixed-pitch font.
    RtxtError->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdSave->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RtxtError, 1);
    layout->addLayout(buttons);

    connect(cmdSave, &QPushButton::clicked, this, &frmErrorReportDialog::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmErrorReportDialog::cmdCancel_Click);
}

void frmErrorReportDialog::AddError(const QString& Heading, const QString& Subject, const QString& Discription) {
    trap(u"AddError", kOwner, [&] {
        QString section;
        for (const QString* line : {&kEqualsRule, &Heading, &kEqualsRule, &kDashRule, &Subject, &kDashRule})
            section += *line + kCrLf;
        section += kCrLf + Discription + kCrLf + kCrLf;
        m_report += section;
        RtxtError->setPlainText(m_report);
    });
}

void frmErrorReportDialog::cmdSave_Click() {
    QString failure;
    trap(
        u"cmdSave_Click", kOwner,
        [&] {
            const QString path = ShowSaveDialog(QStringLiteral("Rich Text Files (*.rtf)|*.rtf"));
            if (path.isEmpty()) return;
            int number = 0;
            if (!fileio::writeFileAtomically(path, rtftext::FromPlainText(m_report), false, &number, &failure))
                raiseError(number, failure);
        },
        // A report the user believes saved must not be lost silently.
        [&] {
            if (!failure.isEmpty()) Ui().MsgBox(failure, MsgButtons::OK, MsgIcon::Information, kAppTitle);
        });
}

void frmErrorReportDialog::cmdCancel_Click() {
    close();
}

QString frmErrorReportDialog::ShowSaveDialog(const QString& filter) {
    QString path;
    quietly([&] {
        SaveDialogRequest request;
        request.title = QStringLiteral("Save File");
        request.filters = nameFilters(filter);
        request.filterIndex = 0;
        request.overwritePrompt = true;
        // No default extension: a name typed without ".rtf" is used as typed.
        path = Ui().GetSaveFileName(this, request);
    });
    return path;
}
