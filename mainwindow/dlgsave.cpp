#include "mainwindow/dlgsave.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modgetspecialfolder.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "gui/widgets/foldertree.h"
#include "mainwindow/exportfile.h"
#include "platform/shell/specialfolders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr auto kOwner = u" of Form dlgSave";

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

void inform(const QString& text) {
    Ui().MsgBox(text, MsgButtons::OK, MsgIcon::Information, kAppTitle);
}
} // namespace

dlgSave::dlgSave(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgSave"));
    setWindowTitle(QStringLiteral("Export"));
    ftvFolder = named(new FolderTree(this), "ftvFolder");
    lblFileName = named(new QLabel(QStringLiteral("File &Name"), this), "lblFileName");
    txtFileName = named(new QLineEdit(this), "txtFileName");
    txtFileName->setMaxLength(255);
    lblFileName->setBuddy(txtFileName);
    lblFileType = named(new QLabel(QStringLiteral("File &Type"), this), "lblFileType");
    cboFileType = named(new QComboBox(this), "cboFileType");
    lblFileType->setBuddy(cboFileType);
    lblDelimeter = named(new QLabel(QStringLiteral("Column Se&parator"), this), "lblDelimeter");
    txtColSaperator = named(new QLineEdit(this), "txtColSaperator");
    txtColSaperator->setMaxLength(1);
    txtColSaperator->setMaximumWidth(40);
    lblDelimeter->setBuddy(txtColSaperator);
    ChkOpenFile = named(new QCheckBox(QStringLiteral("&Open Exported file after completion"), this), "ChkOpenFile");
    cmdSave = named(new QPushButton(QStringLiteral("&Save"), this), "cmdSave");
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel");
    cmdSave->setDefault(true);

    auto* fields = new QGridLayout;
    fields->addWidget(lblFileName, 0, 0);
    fields->addWidget(txtFileName, 0, 1, 1, 3);
    fields->addWidget(lblFileType, 1, 0);
    fields->addWidget(cboFileType, 1, 1);
    fields->addWidget(lblDelimeter, 1, 2);
    fields->addWidget(txtColSaperator, 1, 3);
    fields->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ChkOpenFile);
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ftvFolder, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(460, 420);

    txtFileName->installEventFilter(this);
    txtColSaperator->installEventFilter(this);
    connect(cboFileType, &QComboBox::currentIndexChanged, this, &dlgSave::cboFileType_Click);
    connect(cmdSave, &QPushButton::clicked, this, &dlgSave::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &dlgSave::cmdCancel_Click);
    Form_Load();
}

void dlgSave::Form_Load() {
    trap(u"Form_Load", kOwner, [&] {
        filename.clear();
        ColumnSaperator.clear();
        const QString location = AppSettings->ExportLocation();
        const bool none = location.trimmed().isEmpty() || location == QString(QChar(0));
        // A folder that is gone leaves the tree at the home folder, not at nothing.
        if (none || !ftvFolder->SetSelectedFolder(location)) ftvFolder->SetSelectedFolder(platform::homeFolder());
        FillComboBox();
        cboFileType->setCurrentIndex(1);
        cboFileType_Click();
        ChkOpenFile->setChecked(AppSettings->IsOpenFileAfterExport() != 0);
        txtFileName->setText(QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd")) + QStringLiteral("_Data"));
        txtColSaperator->setText(QStringLiteral(","));
    });
}

void dlgSave::FillComboBox() {
    trap(u"FillComboBox", kOwner, [&] {
        cboFileType->clear();
        cboFileType->addItem(QStringLiteral("Text Document (*.txt)"), 1);
        cboFileType->addItem(QStringLiteral("Excel Worksheet(*.xls)"), 2);
        cboFileType->addItem(QStringLiteral("CSV File (*.csv)"), 3);
        cboFileType->addItem(QStringLiteral("Word Document (*.doc)"), 4);
    });
}

void dlgSave::cboFileType_Click() {
    const int i = cboFileType->currentIndex();
    const bool separator = i == 0 || i == 3;
    lblDelimeter->setVisible(separator);
    txtColSaperator->setVisible(separator);
}

bool dlgSave::Validate() {
    bool ok = false;
    trap(u"Validate", kOwner, [&] {
        if (txtFileName->text().isEmpty()) {
            inform(QStringLiteral("Please specify file name."));
            return;
        }
        if (txtColSaperator->isHidden() || !txtColSaperator->text().isEmpty()) {
            ok = true;
            return;
        }
        inform(QStringLiteral("Please enter column saperator."));
    });
    return ok;
}

void dlgSave::cmdSave_Click() {
    trap(u"cmdSave_Click", kOwner, [&] {
        if (!Validate()) return;
        QString folder = ftvFolder->SelectedFolder();
        if (folder == FolderTree::kRootName)
            folder = modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_DESKTOP);
        filename = exportfile::ExportFileName(folder, txtFileName->text(),
                                              exportfile::ExtensionOfType(cboFileType->currentText()));
        if (!txtColSaperator->isHidden()) ColumnSaperator = txtColSaperator->text();
        accept();
    });
}

void dlgSave::cmdCancel_Click() {
    trap(u"cmdCancel_Click", kOwner, [&] {
        filename = exportfile::kCancelled;
        reject();
    });
}

void dlgSave::Form_Unload() {
    trap(u"Form_Unload", kOwner, [&] {
        if (filename.isEmpty()) filename = exportfile::kCancelled;
        OpenFile = ChkOpenFile->isChecked();
        AppSettings->setIsOpenFileAfterExport(ChkOpenFile->isChecked() ? 1 : 0);
    });
}

void dlgSave::done(int result) {
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    QDialog::done(result);
}

bool dlgSave::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        // After the focus change has settled, or a mouse press would take the selection away.
        QTimer::singleShot(0, box, &QLineEdit::selectAll);
    } else if (event->type() == QEvent::KeyPress && box == txtFileName) {
        // Only typed keys are filtered; a pasted name is taken as it is.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && exportfile::IsReservedChar(text.at(0).unicode())) return true;
    }
    return QDialog::eventFilter(watched, event);
}
