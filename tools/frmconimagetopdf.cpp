#include "tools/frmconimagetopdf.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modmasterlayout.h"
#include "core/modshell.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "core/workerrun.h"
#include "gui/widgets/flexgrid.h"
#include "jobs/imagetopdfrun.h"
#include "pageops/apimgtopdf.h"
#include "tools/compressionlists.h"
#include "tools/dialogfilegrid.h"
#include "tools/frmerrorreportdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>
#include <optional>

namespace {

constexpr QStringView kOwner = u" of Form frmConImageToPdf at time";

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QCheckBox* checkBox(const char* name, const char* caption) {
    return named(new QCheckBox(QString::fromUtf8(caption)), name);
}

} // namespace

frmConImageToPdf::frmConImageToPdf(QWidget* parent) : ToolDialog(parent) {
    setObjectName(QStringLiteral("frmConImageToPdf"));
    setWindowTitle(QStringLiteral("Convert image to pdf"));
    buildControls();
}

frmConImageToPdf::~frmConImageToPdf() = default;

void frmConImageToPdf::buildControls() {
    fraSetOrder = named(new QGroupBox(QStringLiteral("1 Selected files")), "fraSetOrder");
    vsFilesSetOrder = named(new FlexGrid, "vsFilesSetOrder");
    auto* files = new QVBoxLayout(fraSetOrder);
    files->addWidget(vsFilesSetOrder);

    Frame1 = named(new QGroupBox(QStringLiteral("2 Image Process")), "Frame1");
    chkEncodColor = checkBox("chkEncodColor", "Color I&mage Files");
    cboEncodTrueColor = named(new QComboBox, "cboEncodTrueColor");
    chkEncodGraycale = checkBox("chkEncodGraycale", "&Graycale Image files");
    cboEncodGraycale = named(new QComboBox, "cboEncodGraycale");
    chkEncodBW = checkBox("chkEncodBW", "Black and &Whilt Image Files");
    cboEncodBW = named(new QComboBox, "cboEncodBW");
    auto* process = new QGridLayout(Frame1);
    int row = 0;
    for (auto [box, list, label] : {std::tuple{chkEncodColor, cboEncodTrueColor, "lblEncodColor"},
                                    std::tuple{chkEncodGraycale, cboEncodGraycale, "lblEncodGraycale"},
                                    std::tuple{chkEncodBW, cboEncodBW, "lblEncodBW"}}) {
        process->addWidget(box, row, 0);
        process->addWidget(named(new QLabel(QStringLiteral("Recompress to")), label), row, 1);
        process->addWidget(list, row, 2);
        ++row;
    }
    process->setColumnStretch(0, 1);

    FraFileopen = named(new QGroupBox(QStringLiteral("3 Output")), "FraFileopen");
    chkReplace = checkBox("chkReplace", "Replace e&xisting file");
    txtOutputFolder = named(new QLineEdit, "txtOutputFolder");
    cmdBrowseFolder = named(new QPushButton(QStringLiteral("...")), "cmdBrowseFolder");
    cmdBrowseFolder->setMaximumWidth(cmdBrowseFolder->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    ChkDefaultPathConImgTiff = checkBox("ChkDefaultPathConImgTiff", "Set default o&utput folder name ");
    ChkOpenFolderConImgTiff = checkBox("ChkOpenFolderConImgTiff", "&Open folder after conversion");
    auto* output = new QVBoxLayout(FraFileopen);
    output->addWidget(chkReplace);
    auto* folder = new QHBoxLayout;
    folder->addWidget(txtOutputFolder, 1);
    folder->addWidget(cmdBrowseFolder);
    output->addLayout(folder);
    output->addWidget(ChkDefaultPathConImgTiff);
    output->addWidget(ChkOpenFolderConImgTiff);

    Frame3 = named(new QGroupBox(QStringLiteral("Proccessing")), "Frame3");
    ProgressBar1 = named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    (new QVBoxLayout(Frame3))->addWidget(ProgressBar1);

    cmdConvert = named(new QPushButton(QStringLiteral("&Convert")), "cmdConvert");
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel")), "cmdCancel");
    // Enter in the folder box must not start a run by itself, nor open the picker.
    cmdConvert->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    cmdBrowseFolder->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdConvert);
    buttons->addWidget(cmdCancel);

    auto* choices = new QHBoxLayout;
    choices->addWidget(Frame1, 1);
    choices->addWidget(FraFileopen, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraSetOrder, 1);
    layout->addLayout(choices);
    layout->addWidget(Frame3);
    layout->addLayout(buttons);
    resize(760, 520);

    connect(chkEncodColor, &QCheckBox::clicked, this, &frmConImageToPdf::chkEncodColor_Click);
    connect(chkEncodGraycale, &QCheckBox::clicked, this, &frmConImageToPdf::chkEncodGraycale_Click);
    connect(chkEncodBW, &QCheckBox::clicked, this, &frmConImageToPdf::chkEncodBW_Click);
    connect(cmdBrowseFolder, &QPushButton::clicked, this, &frmConImageToPdf::cmdBrowseFolder_Click);
    connect(cmdConvert, &QPushButton::clicked, this, &frmConImageToPdf::cmdconvert_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConImageToPdf::cmdCancel_Click);
}

void frmConImageToPdf::load() {
    trap(u"Form_Load", kOwner, [&] {
        InitFiles();
        FillGrid();
        m_compressionNames = imaging::compressionNames();
        compressionlists::Fill(*cboEncodTrueColor, imaging::kColourClass);
        compressionlists::Fill(*cboEncodGraycale, imaging::kGreyscaleClass);
        compressionlists::Fill(*cboEncodBW, imaging::kBlackAndWhiteClass);
        for (QComboBox* list : {cboEncodTrueColor, cboEncodGraycale, cboEncodBW})
            list->setEnabled(false);
        ChkDefaultPathConImgTiff->setChecked(AppSettings->IsDefaultPathConImgTiff() != 0);
        if (AppSettings->IsDefaultPathConImgTiff() != 0) txtOutputFolder->setText(AppSettings->DefaultPathConImgTiff());
        ChkOpenFolderConImgTiff->setChecked(AppSettings->IsOpenFolderConImgTiff() != 0);
    });
}

void frmConImageToPdf::InitFiles() {
    dialoggrid::InitFiles(*vsFilesSetOrder, dialoggrid::ImageToPdf, kOwner);
}

void frmConImageToPdf::FillGrid() {
    dialoggrid::FillGrid(*vsFilesSetOrder, colSelectedData, dialoggrid::ImageToPdf, kOwner);
}

void frmConImageToPdf::chkEncodColor_Click() {
    cboEncodTrueColor->setEnabled(chkEncodColor->isChecked());
}

void frmConImageToPdf::chkEncodGraycale_Click() {
    cboEncodGraycale->setEnabled(chkEncodGraycale->isChecked());
}

void frmConImageToPdf::chkEncodBW_Click() {
    cboEncodBW->setEnabled(chkEncodBW->isChecked());
}

void frmConImageToPdf::cmdBrowseFolder_Click() {
    txtOutputFolder->setText(ShowFolderSelectionDialog());
}

QString frmConImageToPdf::ShowFolderSelectionDialog() {
    QString folder;
    trap(u"ShowFolderSelectionDialog", kOwner, [&] {
        folder = ModShell::BrowseForFolder(this, QString(), QStringLiteral("Set Folder"));
        if (folder.isEmpty()) folder = txtOutputFolder->text();
    });
    return folder;
}

bool frmConImageToPdf::ValidateInput() {
    bool valid = false;
    trap(u"ValidateInput", kOwner, [&] {
        const QString folder = txtOutputFolder->text();
        if (!folder.trimmed().isEmpty()) {
            // A file of that name is no folder to write into.
            if (!QFileInfo(folder).isDir()) {
                Ui().MsgBox(QStringLiteral("Please enter Valid folder Name"), MsgButtons::OK,
                            MsgIcon::Information, kAppTitle);
                txtOutputFolder->setFocus();
                return;
            }
            // A folder no PDF can go into would fail every file of the run, each alike.
            const QString problem = imagetopdf::ImageToPdfRun::OutputFolderProblem(folder);
            if (!problem.isEmpty()) {
                Ui().MsgBox(
                    QStringLiteral("The output folder \"%1\" cannot be written to: %2.").arg(folder, problem),
                    MsgButtons::OK, MsgIcon::Information, kAppTitle);
                txtOutputFolder->setFocus();
                return;
            }
            valid = true;
            return;
        }
        valid = Ui().MsgBox(QStringLiteral("There is no output folder selected so application will store files in "
                                           "source file folder.\r\nDo you want to continue without output folder?"),
                            MsgButtons::YesNo, MsgIcon::Information, kAppTitle) == MsgAnswer::Yes;
    });
    return valid;
}

void frmConImageToPdf::cmdconvert_Click() {
    if (Running()) return;
    trap(u"cmdconvert_Click", kOwner, [&] {
        if (!ValidateInput()) return;
        setRunning(true);
        m_lastRun = {};
        const auto restore = qScopeGuard([&] { finishRun(); });
        cmdConvert->setEnabled(false);
        setCursor(Qt::WaitCursor);

        const int rows = vsFilesSetOrder->Rows() - 1;
        ProgressBar1->setRange(0, std::max(rows, 1));
        ProgressBar1->setValue(0);

        // The run works with what the user had chosen when the run started.
        imagetopdf::RunOptions options;
        options.outputFolder = txtOutputFolder->text();
        options.replace = chkReplace->isChecked();
        options.compression.set(imaging::kColourClass,
                                compressionlists::Chosen(*chkEncodColor, *cboEncodTrueColor));
        options.compression.set(imaging::kGreyscaleClass,
                                compressionlists::Chosen(*chkEncodGraycale, *cboEncodGraycale));
        options.compression.set(imaging::kBlackAndWhiteClass,
                                compressionlists::Chosen(*chkEncodBW, *cboEncodBW));
        const int name = dialoggrid::ColumnOf(u"Name"), location = dialoggrid::ColumnOf(u"Location");
        QList<imagetopdf::SourceFile> files;
        for (int r = 1; r <= rows; ++r)
            files.append({vsFilesSetOrder->TextMatrix(r, name), vsFilesSetOrder->TextMatrix(r, location)});

        ApImgToPdf engine; // made here, on the window's thread
        imagetopdf::ImageToPdfRun run(options, [&engine](const QString& source, const QString& target,
                                                         const imaging::CompressionChoice& compression,
                                                         bool replace) {
            return engine.ConverImageToPdf(source, target, compression, replace);
        });
        // The files are converted one after another on a worker thread, so that no image, however
        // long it takes to encode, keeps this thread from painting the window; the progress comes
        // back here, in order, the bar showing the latest count without a repaint per file.
        if (RunPumpHook) run.beforeFile = [this] { workerrun::Deliver(this, [this] { RunPumpHook(); }); };
        run.afterFile = workerrun::LatestValue(ProgressBar1, [bar = ProgressBar1](int done) { bar->setValue(done); });
        workerrun::Run([&] { run.Run(files); });
        m_lastRun = {run.Converted(), run.Skipped(), run.Failed()};

        // Without an output folder the box ends up naming where the last PDF went: that is
        // the folder remembered and opened.
        if (options.outputFolder.trimmed().isEmpty() && !run.LastFolder().isEmpty())
            txtOutputFolder->setText(run.LastFolder());
        writeSettings();
        if (run.Failed().isEmpty()) {
            Ui().MsgBox(QStringLiteral("Successfully Converted all file(s)."), MsgButtons::OK, MsgIcon::Information,
                        kAppTitle);
        } else {
            frmErrorReportDialog report(this);
            report.AddError(QStringLiteral("Image To Pdf Converesion error"),
                            QStringLiteral("Following file(s) couldn't Converted"), run.FailureList());
            Ui().ShowModal(&report);
        }
        if (ChkOpenFolderConImgTiff->isChecked())
            modMasterLayout::ShellOpen(QStringLiteral("Explore"), txtOutputFolder->text(), QString(),
                                       QString(), 1);
    });
}

void frmConImageToPdf::finishRun() {
    // Runs while a failure unwinds as well: nothing here may throw.
    quietly([&] { cmdConvert->setEnabled(true); });
    quietly([&] { unsetCursor(); });
    quietly([&] { ProgressBar1->setValue(0); });
    setRunning(false);
}

void frmConImageToPdf::writeSettings() {
    // Every change saves the whole file, synced; a value that is already stored needs no save.
    const auto keep = [](auto current, auto value, auto set) {
        if (current != value) (AppSettings->*set)(value);
    };
    const bool remember = ChkDefaultPathConImgTiff->isChecked();
    keep(AppSettings->IsDefaultPathConImgTiff(), uint8_t(remember ? 1 : 0), &Settings::setIsDefaultPathConImgTiff);
    if (remember) keep(AppSettings->DefaultPathConImgTiff(), txtOutputFolder->text(), &Settings::setDefaultPathConImgTiff);
    keep(AppSettings->IsOpenFolderConImgTiff(), uint8_t(ChkOpenFolderConImgTiff->isChecked() ? 1 : 0),
         &Settings::setIsOpenFolderConImgTiff);
}

void frmConImageToPdf::cmdCancel_Click() {
    close();
}

void frmConImageToPdf::unload() {
    trap(u"Form_Unload", kOwner, [&] { writeSettings(); });
}
