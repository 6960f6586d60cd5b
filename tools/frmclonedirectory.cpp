// The folder-clone dialog: its controls, what the job reports shown on them, loading and
// closing, the compression boxes and the two folder pickers. The runs of the job are in
// frmclonedirectory_run.cpp.

#include "tools/frmclonedirectory.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modshell.h"
#include "core/settings.h"
#include "tools/compressionlists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr QStringView kOwner = clonejob::kCloneOwner;

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

// The dialog as the job sees it.
class frmCloneDirectory::JobHost : public clonejob::CloneJobHost {
public:
    explicit JobHost(frmCloneDirectory& dialog) : d(dialog) {}
    bool stopRequested() override { return d.StopRequested; }
    bool replaceExisting() override { return d.chkReplace->checkState() != Qt::Unchecked; }
    void appendLog(const QString& text) override { d.appendLog(text); }
    void entryVisited(int filesCompleted) override {
        // The bar follows at the next pump: it repaints at once on every change, which costs
        // more than a small file's conversion.
        d.FilesCompleted = filesCompleted;
    }
    void showStoredEncodings(const QString& colour, const QString& grey, const QString& bw) override {
        d.ShowStoredEncodings(colour, grey, bw);
    }
    void pump() override { d.pump(); }
    void showPhase(const QString& caption) override {
        d.Frame3->setTitle(caption);
        d.flushLog();
    }
    void startProgress(int maximum) override {
        d.ProgressBar1->setRange(0, maximum);
        d.ProgressBar1->setValue(0);
        d.FilesCompleted = 0;
    }

private:
    frmCloneDirectory& d;
};

frmCloneDirectory::frmCloneDirectory(QWidget* parent) : ToolDialog(parent) {
    setObjectName(QStringLiteral("frmCloneDirectory"));
    setWindowTitle(QStringLiteral("Image to PDF conversion with Folder structure cloning"));
    buildControls();
    makeJob();
    m_pumpClock.start();
    Form_Load();
}

frmCloneDirectory::~frmCloneDirectory() = default;

void frmCloneDirectory::makeJob() {
    m_host = std::make_unique<JobHost>(*this);
    m_job = std::make_unique<clonejob::CloneJob>(StoragePath + QStringLiteral("/Clone"), *m_host);
}

void frmCloneDirectory::buildControls() {
    Label5 = named(new QLabel(QStringLiteral("Input Folder:")), "Label5");
    txtCloningFrom = named(new QLineEdit, "txtCloningFrom");
    cmdBrwCloneFld = named(new QPushButton(QStringLiteral("...")), "cmdBrwCloneFld");
    Label7 = named(new QLabel(QStringLiteral("Out&put folder:")), "Label7");
    txtoutputFld = named(new QLineEdit, "txtoutputFld");
    cmdBrwOutFld = named(new QPushButton(QStringLiteral("...")), "cmdBrwOutFld");
    Label5->setBuddy(txtCloningFrom);
    Label7->setBuddy(txtoutputFld);
    for (QPushButton* b : {cmdBrwCloneFld, cmdBrwOutFld}) {
        b->setAutoDefault(false);
        b->setFixedWidth(32);
    }
    auto* folders = new QGridLayout;
    folders->addWidget(Label5, 0, 0);
    folders->addWidget(txtCloningFrom, 0, 1);
    folders->addWidget(cmdBrwCloneFld, 0, 2);
    folders->addWidget(Label7, 1, 0);
    folders->addWidget(txtoutputFld, 1, 1);
    folders->addWidget(cmdBrwOutFld, 1, 2);

    Frame2 = named(new QGroupBox(QStringLiteral("Image Process")), "Frame2");
    chkEncodColor = named(new QCheckBox(QStringLiteral("Color I&mage Files")), "chkEncodColor");
    chkEncodGraycale = named(new QCheckBox(QStringLiteral("&Graycale Image files")), "chkEncodGraycale");
    chkEncodBW = named(new QCheckBox(QStringLiteral("Black and &Whilt Image Files")), "chkEncodBW");
    cboEncodTrueColor = named(new QComboBox, "cboEncodTrueColor");
    cboEncodGraycale = named(new QComboBox, "cboEncodGraycale");
    cboEncodBW = named(new QComboBox, "cboEncodBW");
    Label2 = named(new QLabel(QStringLiteral("Recompress to")), "Label2");
    Label1 = named(new QLabel(QStringLiteral("Recompress to")), "Label1");
    Label3 = named(new QLabel(QStringLiteral("Recompress to")), "Label3");
    auto* encodings = new QGridLayout(Frame2);
    const std::tuple<QCheckBox*, QLabel*, QComboBox*> rows[] = {{chkEncodColor, Label2, cboEncodTrueColor},
                                                                 {chkEncodGraycale, Label1, cboEncodGraycale},
                                                                 {chkEncodBW, Label3, cboEncodBW}};
    int row = 0;
    for (const auto& [box, label, list] : rows) {
        encodings->addWidget(box, row, 0);
        encodings->addWidget(label, row, 1);
        encodings->addWidget(list, row, 2);
        ++row;
    }
    encodings->setColumnStretch(2, 1);

    Frame1 = named(new QGroupBox(QStringLiteral("Options")), "Frame1");
    ChkOpenFolderCloneDir = named(new QCheckBox(QStringLiteral("&Open folder after cloning")), "ChkOpenFolderCloneDir");
    ChkDefaultPathCloneDir =
        named(new QCheckBox(QStringLiteral("Set above folder to defa&ult output folder")), "ChkDefaultPathCloneDir");
    chkReplace = named(new QCheckBox(QStringLiteral("Replace e&xisting file")), "chkReplace");
    auto* options = new QVBoxLayout(Frame1);
    options->addWidget(ChkOpenFolderCloneDir);
    options->addWidget(ChkDefaultPathCloneDir);
    options->addWidget(chkReplace);
    options->addStretch(1);

    auto* settingsRow = new QHBoxLayout;
    settingsRow->addWidget(Frame2, 3);
    settingsRow->addWidget(Frame1, 2);

    Frame3 = named(new QGroupBox(QStringLiteral("Proccessing")), "Frame3");
    ProgressBar1 = named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    RtxtProcessingLog = named(new QPlainTextEdit, "RtxtProcessingLog");
    RtxtProcessingLog->setReadOnly(true);
    RtxtProcessingLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* processing = new QVBoxLayout(Frame3);
    processing->addWidget(ProgressBar1);
    processing->addWidget(RtxtProcessingLog, 1);

    Frame4 = named(new QFrame, "Frame4");
    cmdOk = named(new QPushButton(QStringLiteral("&Start")), "cmdOk");
    cmdCancel = named(new QPushButton(QStringLiteral("&Close")), "cmdCancel");
    cmdOk->setDefault(true);
    cmdCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout(Frame4);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);

    auto* main = new QVBoxLayout(this);
    main->addLayout(folders);
    main->addLayout(settingsRow);
    main->addWidget(Frame3, 1);
    main->addWidget(Frame4);
    resize(620, 520);

    connect(chkEncodColor, &QCheckBox::stateChanged, this, &frmCloneDirectory::chkEncodColor_Click);
    connect(chkEncodGraycale, &QCheckBox::stateChanged, this, &frmCloneDirectory::chkEncodGraycale_Click);
    connect(chkEncodBW, &QCheckBox::stateChanged, this, &frmCloneDirectory::chkEncodBW_Click);
    connect(cmdBrwCloneFld, &QPushButton::clicked, this, &frmCloneDirectory::cmdBrwCloneFld_Click);
    connect(cmdBrwOutFld, &QPushButton::clicked, this, &frmCloneDirectory::cmdBrwOutFld_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmCloneDirectory::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCloneDirectory::cmdCancel_Click);
}

void frmCloneDirectory::load() {
    trap(u"Form_Load", kOwner, [&] {
        m_encodingNames = imaging::compressionNames();
        compressionlists::Fill(*cboEncodTrueColor, imaging::kColourClass);
        compressionlists::Fill(*cboEncodGraycale, imaging::kGreyscaleClass);
        compressionlists::Fill(*cboEncodBW, imaging::kBlackAndWhiteClass);
        for (QComboBox* list : {cboEncodTrueColor, cboEncodGraycale, cboEncodBW})
            list->setEnabled(false);
        QDir().mkpath(m_job->files().cloneFolder());
        m_job->SearchCriteria = FilterPatterns[0];
        if (AppSettings) {
            ChkDefaultPathCloneDir->setChecked(AppSettings->IsDefaultPathCloneDir() != 0);
            if (AppSettings->IsDefaultPathCloneDir() != 0) txtoutputFld->setText(AppSettings->DefaultPathCloneDir());
            ChkOpenFolderCloneDir->setChecked(AppSettings->IsOpenFolderCloneDir() != 0);
        }
    });
}

void frmCloneDirectory::unload() {
    trap(u"Form_Unload", kOwner, [&] {
        if (!AppSettings) return;
        AppSettings->setIsDefaultPathCloneDir(ChkDefaultPathCloneDir->isChecked() ? 1 : 0);
        if (ChkDefaultPathCloneDir->isChecked()) AppSettings->setDefaultPathCloneDir(txtoutputFld->text());
        AppSettings->setIsOpenFolderCloneDir(ChkOpenFolderCloneDir->isChecked() ? 1 : 0);
    });
}

bool frmCloneDirectory::stopRunToClose() {
    StopRequested = true;
    return true;
}

void frmCloneDirectory::changeEvent(QEvent* event) {
    ToolDialog::changeEvent(event);
    // After the show has finished, so the offer appears over a painted dialog.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_offered)
        QTimer::singleShot(0, this, [this] { Form_Activate(); });
}

void frmCloneDirectory::chkEncodColor_Click() {
    cboEncodTrueColor->setEnabled(chkEncodColor->checkState() != Qt::Unchecked);
}

void frmCloneDirectory::chkEncodGraycale_Click() {
    cboEncodGraycale->setEnabled(chkEncodGraycale->checkState() != Qt::Unchecked);
}

void frmCloneDirectory::chkEncodBW_Click() { cboEncodBW->setEnabled(chkEncodBW->checkState() != Qt::Unchecked); }

void frmCloneDirectory::cmdBrwCloneFld_Click() {
    trap(u"cmdBrwCloneFld_Click", kOwner, [&] {
        const QString picked =
            ModShell::BrowseForFolder(this, txtCloningFrom->text(), QStringLiteral("Please select a folder:"));
        if (!picked.isEmpty()) txtCloningFrom->setText(picked);
    });
}

void frmCloneDirectory::cmdBrwOutFld_Click() {
    trap(u"cmdBrwOutFld_Click", kOwner, [&] {
        const QString picked =
            ModShell::BrowseForFolder(this, txtoutputFld->text(), QStringLiteral("Please select a folder:"));
        if (!picked.isEmpty()) txtoutputFld->setText(picked);
    });
}

void frmCloneDirectory::cmdCancel_Click() { close(); }

void frmCloneDirectory::ShowStoredEncodings(const QString& colour, const QString& grey, const QString& bw) {
    const std::tuple<const QString&, QCheckBox*, QComboBox*> classes[] = {
        {colour, chkEncodColor, cboEncodTrueColor}, {grey, chkEncodGraycale, cboEncodGraycale}, {bw, chkEncodBW, cboEncodBW}};
    for (const auto& [name, box, list] : classes) {
        if (name.trimmed().isEmpty()) continue;
        box->setChecked(true);
        const int at = list->findText(name);
        if (at >= 0) list->setCurrentIndex(at);
    }
}
