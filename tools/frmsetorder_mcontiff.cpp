#include "tools/frmsetorder_mcontiff.h"

#include "core/doevents.h"
#include "core/errortrap.h"
#include "core/filefolderscan.h"
#include "core/globals.h"
#include "core/modmasterlayout.h"
#include "core/modshell.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "jobs/setordermerge.h"
#include "pageops/apimgtopdf.h"
#include "tools/dialogfilegrid.h"
#include "tools/setorderprogress.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

constexpr QStringView kOwner = u" of Form frmSetOrder_MConTiff at time";

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

void inform(const QString& text) {
    Ui().MsgBox(text, MsgButtons::OK, MsgIcon::Information, kAppTitle);
}

setorder::GridBlock selectedBlock(const FlexGrid& grid) {
    setorder::GridBlock b;
    grid.GetSelection(b.top, b.left, b.bottom, b.right);
    return b;
}

void applyMove(FlexGrid& grid, const std::optional<setorder::BlockMove>& move) {
    if (!move) return;
    for (const auto& [row, newPosition] : move->rowMoves)
        grid.RowPosition(row, newPosition);
    const setorder::GridBlock& s = move->selection;
    grid.Select(s.top, s.left, s.bottom, s.right);
}

// Every change of a setting rewrites the whole settings file; a value already stored needs none.
template <class T, class Setter> void store(const T& current, const T& value, Setter set) {
    if (current != value) (AppSettings->*set)(value);
}

uint8_t flag(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

frmSetOrder_MConTiff::frmSetOrder_MConTiff(QWidget* parent) : ToolDialog(parent) {
    setObjectName(QStringLiteral("frmSetOrder_MConTiff"));
    setWindowTitle(QStringLiteral("Set File Order"));
    buildControls();
}

frmSetOrder_MConTiff::~frmSetOrder_MConTiff() = default;

void frmSetOrder_MConTiff::buildControls() {
    fraSetOrder = named(new QGroupBox(QStringLiteral("1 Files")), "fraSetOrder");
    vsFilesSetOrder = named(new FlexGrid, "vsFilesSetOrder");
    cmdUp = named(new QPushButton(QStringLiteral("&Up")), "cmdUp");
    cmdDown = named(new QPushButton(QStringLiteral("Do&wn")), "cmdDown");
    auto* moves = new QVBoxLayout;
    moves->addWidget(cmdUp);
    moves->addWidget(cmdDown);
    moves->addStretch(1);
    auto* files = new QHBoxLayout(fraSetOrder);
    files->addWidget(vsFilesSetOrder, 1);
    files->addLayout(moves);

    Frame1 = named(new QGroupBox(QStringLiteral("2 Output")), "Frame1");
    Label1 = named(new QLabel(QStringLiteral("File &name")), "Label1");
    txtmanualfilename = named(new QLineEdit, "txtmanualfilename");
    Label1->setBuddy(txtmanualfilename);
    Label2 = named(new QLabel(QStringLiteral("Output &path")), "Label2");
    txtOutputFolder = named(new QLineEdit, "txtOutputFolder");
    txtOutputFolder->setMaxLength(500);
    Label2->setBuddy(txtOutputFolder);
    cmdBrowse = named(new QPushButton(QStringLiteral("...")), "cmdBrowse");
    cmdBrowse->setMaximumWidth(cmdBrowse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    ChkOpenFileMConvToPDF =
        named(new QCheckBox(QStringLiteral("&Open merged file after combining")), "ChkOpenFileMConvToPDF");
    ChkDefaultPathMConvToPDF =
        named(new QCheckBox(QStringLiteral("Set default output &folder name ")), "ChkDefaultPathMConvToPDF");
    auto* output = new QGridLayout(Frame1);
    output->addWidget(Label1, 0, 0);
    output->addWidget(txtmanualfilename, 0, 1, 1, 2);
    output->addWidget(Label2, 1, 0);
    output->addWidget(txtOutputFolder, 1, 1);
    output->addWidget(cmdBrowse, 1, 2);
    output->addWidget(ChkOpenFileMConvToPDF, 2, 1, 1, 2);
    output->addWidget(ChkDefaultPathMConvToPDF, 3, 1, 1, 2);
    output->setColumnStretch(1, 1);

    Frame3 = named(new QGroupBox(QStringLiteral("Proccessing")), "Frame3");
    ProgressBar1 = named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    (new QVBoxLayout(Frame3))->addWidget(ProgressBar1);

    Frame2 = named(new QGroupBox, "Frame2");
    cmdOK = named(new QPushButton(QStringLiteral("Con&vert")), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel")), "cmdCancel");
    // Enter in a text box must neither start a merge nor reorder the list nor open the
    // picker: no button of this dialog takes Enter for itself.
    for (QPushButton* b : {cmdUp, cmdDown, cmdBrowse, cmdOK, cmdCancel})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout(Frame2);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraSetOrder, 1);
    layout->addWidget(Frame1);
    layout->addWidget(Frame3);
    layout->addWidget(Frame2);
    resize(760, 560);

    txtmanualfilename->installEventFilter(this);
    connect(cmdUp, &QPushButton::clicked, this, &frmSetOrder_MConTiff::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmSetOrder_MConTiff::cmdDown_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmSetOrder_MConTiff::cmdBrowse_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmSetOrder_MConTiff::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetOrder_MConTiff::cmdCancel_Click);
}

void frmSetOrder_MConTiff::load() {
    trap(u"Form_Load", kOwner, [&] {
        modMasterLayout::FormLoadHook(this);
        InitFiles();
        FillGrid();
        ChkDefaultPathMConvToPDF->setChecked(AppSettings->IsDefaultPathMConvToPDF() != 0);
        if (AppSettings->IsDefaultPathMConvToPDF() != 0) txtOutputFolder->setText(AppSettings->DefaultPathMConvToPDF());
        ChkOpenFileMConvToPDF->setChecked(AppSettings->IsOpenFileMConvToPDF() != 0);
    });
}

void frmSetOrder_MConTiff::InitFiles() {
    dialoggrid::InitFiles(*vsFilesSetOrder, dialoggrid::SetOrder, kOwner);
}

void frmSetOrder_MConTiff::FillGrid() {
    dialoggrid::FillGrid(*vsFilesSetOrder, colSelectedData, dialoggrid::SetOrder, kOwner);
}

void frmSetOrder_MConTiff::cmdUp_Click() {
    trap(u"cmdUp_Click", kOwner, [&] {
        FlexGrid& grid = *vsFilesSetOrder;
        applyMove(grid, setorder::MoveBlockUp(selectedBlock(grid), grid.Row()));
    });
}

void frmSetOrder_MConTiff::cmdDown_Click() {
    trap(u"cmdDown_Click", kOwner, [&] {
        FlexGrid& grid = *vsFilesSetOrder;
        applyMove(grid, setorder::MoveBlockDown(selectedBlock(grid), grid.Row(), grid.Rows()));
    });
}

void frmSetOrder_MConTiff::cmdBrowse_Click() {
    txtOutputFolder->setText(ShowFolderSelectionDialog());
}

QString frmSetOrder_MConTiff::ShowFolderSelectionDialog() {
    QString folder = txtOutputFolder->text();
    trap(u"ShowFolderSelectionDialog", kOwner, [&] {
        const QString picked = ModShell::BrowseForFolder(this, QString(), QStringLiteral("Set Folder"));
        if (!picked.isEmpty()) folder = picked;
    });
    return folder;
}

void frmSetOrder_MConTiff::txtmanualfilename_KeyPress(int& KeyAscii) {
    if (KeyAscii <= 0 || KeyAscii > 0xFFFF || !setorder::IsRefusedNameChar(QChar(KeyAscii))) return;
    KeyAscii = 0;
    txtmanualfilename->setToolTip(setorder::RefusedNameTip());
}

bool frmSetOrder_MConTiff::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtmanualfilename && event->type() == QEvent::KeyPress) {
        for (const QChar c : static_cast<QKeyEvent*>(event)->text()) {
            int key = c.unicode();
            txtmanualfilename_KeyPress(key);
            if (key == 0) return true; // dropped
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmSetOrder_MConTiff::ValidateInput() {
    bool valid = false;
    trap(u"ValidateInput", kOwner,
         [&] { valid = setorder::ValidateInput(txtmanualfilename->text(), txtOutputFolder->text()); });
    return valid;
}

void frmSetOrder_MConTiff::cmdOk_Click() {
    if (Running()) return;
    trap(u"cmdOk_Click", kOwner, [&] {
        if (!ValidateInput()) return;
        const QString target = setorder::TargetPath(txtOutputFolder->text(), txtmanualfilename->text());
        bool merged = false;
        {
            setRunning(true);
            // Whatever ends the run (its end or a failure), the window is usable again.
            const auto restore = qScopeGuard([&] {
                quietly([&] { enableOrderControls(true); });
                quietly([&] { unsetCursor(); });
                setRunning(false);
            });
            enableOrderControls(false);
            merged = mergeRows(target);
        }
        if (merged) {
            inform(QStringLiteral("Successfully Converted tiff files to pdf."));
            rememberOpenFile();
            if (ChkOpenFileMConvToPDF->isChecked() && FileFolderScan::IsExistingFile(target))
                modMasterLayout::ShellOpen(QStringLiteral("Open"), target, QString(), QString(), 1);
        } else {
            inform(QStringLiteral("Error: in Converting files"));
        }
        rememberFolder();
        close();
    });
}

bool frmSetOrder_MConTiff::mergeRows(const QString& target) {
    if (!m_engine) {
        m_engine = std::make_unique<ApImgToPdf>();
        // The merge moves the bar of the dialog SetOrderForm points at, as it always has.
        m_engine->progress = SetOrderProgress();
    }
    // Every Convert starts from an empty list: one that a failure stopped must not leave its
    // records behind to be merged twice.
    m_engine->colOrderedData.clear();
    const int selection = dialoggrid::ColumnOf(u"Selection");
    for (int r = 1; r < vsFilesSetOrder->Rows(); ++r)
        if (vsFilesSetOrder->CellChecked(r, selection) == flexChecked)
            m_engine->colOrderedData.append(dialoggrid::RecordFromRow(*vsFilesSetOrder, r));
    setCursor(Qt::WaitCursor);
    m_engine->FileNameToSave = target;
    ProgressBar1->setRange(0, int(m_engine->colOrderedData.size()));
    ProgressBar1->setValue(0);
    DoEvents();
    return m_engine->MergeConvert_TiffToPdfx();
}

void frmSetOrder_MConTiff::enableOrderControls(bool enabled) {
    cmdOK->setEnabled(enabled);
    cmdUp->setEnabled(enabled);
    cmdDown->setEnabled(enabled);
}

void frmSetOrder_MConTiff::rememberFolder() {
    store(AppSettings->IsDefaultPathMConvToPDF(), flag(ChkDefaultPathMConvToPDF), &Settings::setIsDefaultPathMConvToPDF);
    if (ChkDefaultPathMConvToPDF->isChecked())
        store(AppSettings->DefaultPathMConvToPDF(), txtOutputFolder->text(), &Settings::setDefaultPathMConvToPDF);
}

void frmSetOrder_MConTiff::rememberOpenFile() {
    store(AppSettings->IsOpenFileMConvToPDF(), flag(ChkOpenFileMConvToPDF), &Settings::setIsOpenFileMConvToPDF);
}

void frmSetOrder_MConTiff::cmdCancel_Click() {
    close();
}

void frmSetOrder_MConTiff::unload() {
    trap(u"Form_Unload", kOwner, [&] {
        rememberFolder();
        rememberOpenFile();
    });
}
