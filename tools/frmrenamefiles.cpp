#include "tools/frmrenamefiles.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/uiservices.h"
#include "gui/widgets/flexgrid.h"
#include "jobs/renamefiles.h"
#include "tools/dialogfilegrid.h"
#include "tools/frmerrorreportdialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

using renamefiles::kOwner;

namespace {

const QColor kRed(255, 0, 0);
const QString kHeading = QStringLiteral("RENAMING FILES");

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLineEdit* textBox(const char* name, int maxLength) {
    auto* box = named(new QLineEdit, name);
    box->setMaxLength(maxLength);
    return box;
}

QLabel* redLabel(const char* name, const char* caption) {
    auto* label = named(new QLabel(QString::fromLatin1(caption)), name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kRed);
    label->setPalette(palette);
    return label;
}

// The grid's file rows as the renaming code reads and writes them.
class GridRows : public renamefiles::RenameRows {
public:
    explicit GridRows(FlexGrid& grid)
        : m_grid(grid), m_name(dialoggrid::ColumnOf(u"Name")), m_location(dialoggrid::ColumnOf(u"Location")),
          m_pages(dialoggrid::ColumnOf(u"Pages")), m_newName(dialoggrid::NewFileNameColumn()) {}

    int rowCount() const override { return m_grid.Rows() - 1; }
    QString name(int row) const override { return m_grid.TextMatrix(row + 1, m_name); }
    QString location(int row) const override { return m_grid.TextMatrix(row + 1, m_location); }
    QString pages(int row) const override { return m_grid.TextMatrix(row + 1, m_pages); }
    QString newName(int row) const override { return m_grid.TextMatrix(row + 1, m_newName); }
    void setNewName(int row, const QString& newName, bool taken) override {
        m_grid.setTextMatrix(row + 1, m_newName, newName);
        // Not taken: the colour of the name beside it, which clears an earlier red mark.
        m_grid.setCellForeColor(row + 1, m_newName, taken ? kRed : m_grid.CellForeColor(row + 1, m_name));
    }

private:
    FlexGrid& m_grid;
    int m_name, m_location, m_pages, m_newName;
};

// The highlighted row keeps its red mark: the cursor starts on the first file, whose mark
// the user must see as much as any other.
class MarkedTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant fore = index.data(Qt::ForegroundRole);
        if (fore.isValid()) option->palette.setBrush(QPalette::HighlightedText, fore.value<QBrush>());
    }
};

} // namespace

frmRenameFiles::frmRenameFiles(QWidget* parent) : ToolDialog(parent) {
    setObjectName(QStringLiteral("frmRenameFiles"));
    setWindowTitle(QStringLiteral("Rename files using page counter"));
    buildControls();
}

frmRenameFiles::~frmRenameFiles() = default;

void frmRenameFiles::buildControls() {
    fraSetOrder = named(new QGroupBox(QStringLiteral("1 Selected files")), "fraSetOrder");
    vsFilesSetOrder = named(new FlexGrid, "vsFilesSetOrder");
    (new QVBoxLayout(fraSetOrder))->addWidget(vsFilesSetOrder);

    Frame1 = named(new QGroupBox(QStringLiteral("2 Name pattern")), "Frame1");
    Label1 = named(new QLabel(QStringLiteral("Insert Page count with padding &mask")), "Label1");
    txtPaddingMask = textBox("txtPaddingMask", 10);
    Label1->setBuddy(txtPaddingMask);
    Label4 = named(new QLabel(QStringLiteral("As")), "Label4");
    OptAtChrPos1 = named(new QRadioButton(QStringLiteral("A&t character position")), "OptAtChrPos1");
    txtCharPos = textBox("txtCharPos", 3);
    Label3 = named(new QLabel(QStringLiteral("With se&parator")), "Label3");
    txtSepAtCharPos = textBox("txtSepAtCharPos", 1);
    Label3->setBuddy(txtSepAtCharPos);
    chkPrefix = named(new QCheckBox(QStringLiteral("P&refix")), "chkPrefix");
    chkSuffix = named(new QCheckBox(QStringLiteral("S&uffix")), "chkSuffix");
    OptPreAsPageCnt = named(new QRadioButton(QStringLiteral("P&refix as page count with Seperator")), "OptPreAsPageCnt");
    txtSepPrefix = textBox("txtSepPrefix", 1);
    OptSufAsPageCnt = named(new QRadioButton(QStringLiteral("S&uffix as page count with Seperator")), "OptSufAsPageCnt");
    txtSepSuffix = textBox("txtSepSuffix", 1);
    for (QLineEdit* box : {txtCharPos, txtSepAtCharPos, txtSepPrefix, txtSepSuffix})
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    txtPaddingMask->setMaximumWidth(txtPaddingMask->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")) + 16);

    auto* pattern = new QGridLayout(Frame1);
    pattern->addWidget(Label1, 0, 0);
    auto* mask = new QHBoxLayout;
    mask->addWidget(txtPaddingMask);
    mask->addWidget(Label4);
    mask->addStretch(1);
    pattern->addLayout(mask, 0, 1, 1, 5);
    pattern->addWidget(OptAtChrPos1, 1, 0);
    pattern->addWidget(txtCharPos, 1, 1);
    pattern->addWidget(Label3, 1, 2);
    pattern->addWidget(txtSepAtCharPos, 1, 3);
    pattern->addWidget(chkPrefix, 1, 4);
    pattern->addWidget(chkSuffix, 1, 5);
    pattern->addWidget(OptPreAsPageCnt, 2, 0);
    pattern->addWidget(txtSepPrefix, 2, 1);
    pattern->addWidget(OptSufAsPageCnt, 3, 0);
    pattern->addWidget(txtSepSuffix, 3, 1);
    pattern->setColumnStretch(6, 1);

    Label7 = redLabel("Label7", "*");
    Label2 = named(new QLabel(QStringLiteral("New file names marked with ")), "Label2");
    Label5 = redLabel("Label5", "red ");
    Label6 = named(new QLabel(QStringLiteral("color are alredy exists in that folder.")), "Label6");
    auto* legend = new QHBoxLayout;
    legend->setSpacing(0);
    for (QLabel* label : {Label7, Label2, Label5, Label6})
        legend->addWidget(label);
    legend->addStretch(1);

    cmdPreview = named(new QPushButton(QStringLiteral("Pre&view")), "cmdPreview");
    cmdOk = named(new QPushButton(QStringLiteral("&Apply")), "cmdOk");
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel")), "cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addLayout(legend, 1);
    for (QPushButton* button : {cmdPreview, cmdOk, cmdCancel}) {
        // Enter in a box must not rename anything by itself.
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraSetOrder, 1);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    resize(640, 480);

    for (QLineEdit* box : {txtCharPos, txtPaddingMask, txtSepAtCharPos, txtSepPrefix, txtSepSuffix})
        box->installEventFilter(this);
    connect(OptAtChrPos1, &QRadioButton::clicked, this, &frmRenameFiles::OptAtChrPos1_Click);
    connect(OptPreAsPageCnt, &QRadioButton::clicked, this, &frmRenameFiles::OptPreAsPageCnt_Click);
    connect(OptSufAsPageCnt, &QRadioButton::clicked, this, &frmRenameFiles::OptSufAsPageCnt_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmRenameFiles::cmdPreview_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmRenameFiles::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRenameFiles::cmdCancel_Click);
}

void frmRenameFiles::load() {
    InitFiles();
    FillGrid();
}

void frmRenameFiles::InitFiles() {
    dialoggrid::InitFiles(*vsFilesSetOrder, dialoggrid::Renaming, kOwner);
    QTableView* view = vsFilesSetOrder->view();
    view->setItemDelegateForColumn(dialoggrid::NewFileNameColumn(), new MarkedTextDelegate(view));
}

void frmRenameFiles::FillGrid() {
    dialoggrid::FillGrid(*vsFilesSetOrder, colSelectedData, dialoggrid::Renaming, kOwner);
}

void frmRenameFiles::setPositionBoxesEnabled(bool position, bool prefix, bool suffix) {
    for (QWidget* w : std::initializer_list<QWidget*>{txtCharPos, txtSepAtCharPos, chkPrefix, chkSuffix})
        w->setEnabled(position);
    txtSepPrefix->setEnabled(prefix);
    txtSepSuffix->setEnabled(suffix);
}

void frmRenameFiles::OptAtChrPos1_Click() { setPositionBoxesEnabled(true, false, false); }
void frmRenameFiles::OptPreAsPageCnt_Click() { setPositionBoxesEnabled(false, true, false); }
void frmRenameFiles::OptSufAsPageCnt_Click() { setPositionBoxesEnabled(false, false, true); }

void frmRenameFiles::txtCharPos_KeyPress(int& KeyAscii) {
    if (!renamefiles::CharPosKeyAccepted(QChar(KeyAscii))) KeyAscii = 0;
}
void frmRenameFiles::txtPaddingMask_KeyPress(int& KeyAscii) {
    if (!renamefiles::PaddingMaskKeyAccepted(QChar(KeyAscii))) KeyAscii = 0;
}
void frmRenameFiles::txtSepAtCharPos_KeyPress(int& KeyAscii) {
    if (!renamefiles::SeparatorKeyAccepted(QChar(KeyAscii))) KeyAscii = 0;
}
void frmRenameFiles::txtSepPrefix_KeyPress(int& KeyAscii) {
    if (!renamefiles::SeparatorKeyAccepted(QChar(KeyAscii))) KeyAscii = 0;
}
void frmRenameFiles::txtSepSuffix_KeyPress(int& KeyAscii) {
    if (!renamefiles::SeparatorKeyAccepted(QChar(KeyAscii))) KeyAscii = 0;
}

bool frmRenameFiles::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    void (frmRenameFiles::*filter)(int&) = nullptr;
    if (watched == txtCharPos) filter = &frmRenameFiles::txtCharPos_KeyPress;
    else if (watched == txtPaddingMask) filter = &frmRenameFiles::txtPaddingMask_KeyPress;
    else if (watched == txtSepAtCharPos) filter = &frmRenameFiles::txtSepAtCharPos_KeyPress;
    else if (watched == txtSepPrefix) filter = &frmRenameFiles::txtSepPrefix_KeyPress;
    else if (watched == txtSepSuffix) filter = &frmRenameFiles::txtSepSuffix_KeyPress;
    if (!filter) return QDialog::eventFilter(watched, event);
    // Characters are filtered; editing keys and shortcuts (arrows, Delete, Ctrl+C) pass.
    for (QChar c : static_cast<QKeyEvent*>(event)->text()) {
        if (c.category() == QChar::Other_Control && c != u'\b') continue;
        int keyAscii = c.unicode();
        (this->*filter)(keyAscii);
        if (keyAscii == 0) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmRenameFiles::cmdPreview_Click() {
    trap(u"cmdPreview_Click", kOwner, [&] {
        renamefiles::NamePattern pattern;
        if (OptAtChrPos1->isChecked()) pattern.placement = renamefiles::Placement::AtCharPos;
        else if (OptPreAsPageCnt->isChecked()) pattern.placement = renamefiles::Placement::Prefix;
        else if (OptSufAsPageCnt->isChecked()) pattern.placement = renamefiles::Placement::Suffix;
        pattern.charPos = txtCharPos->text();
        pattern.sepAtCharPos = txtSepAtCharPos->text();
        pattern.sepBefore = chkPrefix->isChecked();
        pattern.sepAfter = chkSuffix->isChecked();
        pattern.sepPrefix = txtSepPrefix->text();
        pattern.sepSuffix = txtSepSuffix->text();
        pattern.paddingMask = txtPaddingMask->text();
        // The position the preview took for an empty box shows there, even when a row fails.
        const auto showPosition = qScopeGuard([&] {
            if (pattern.charPos != txtCharPos->text()) txtCharPos->setText(pattern.charPos);
        });
        GridRows rows(*vsFilesSetOrder);
        renamefiles::Preview(rows, pattern);
    });
}

bool frmRenameFiles::validateFilenames() {
    bool valid = false;
    trap(u"validateFilenames", kOwner, [&] {
        GridRows rows(*vsFilesSetOrder);
        valid = renamefiles::ValidateFilenames(rows);
    });
    return valid;
}

void frmRenameFiles::cmdOk_Click() {
    QString description;
    const auto restore = [&] {
        quietly([&] { cmdOk->setEnabled(true); });
        quietly([&] { unsetCursor(); });
    };
    trap(
        u"cmdOk_Click", kOwner,
        [&] {
            try {
                if (!validateFilenames()) {
                    Ui().MsgBox(QStringLiteral("Some files have bade names."), MsgButtons::OK, MsgIcon::Information,
                                kAppTitle);
                    return;
                }
                cmdOk->setEnabled(false);
                setCursor(Qt::WaitCursor);
                GridRows rows(*vsFilesSetOrder);
                const renamefiles::ApplyLists lists = renamefiles::Apply(rows);
                if (lists.empty()) {
                    Ui().MsgBox(QStringLiteral("Successfully Renamed Files."), MsgButtons::OK, MsgIcon::Information,
                                kAppTitle);
                } else {
                    frmErrorReportDialog report(this);
                    report.AddError(kHeading, QStringLiteral("FOLLOWING SOURCE FILES NOT FOUND"), lists.notFound);
                    report.AddError(kHeading, QStringLiteral("FOLLOWING FILES ALREADY EXISTS"), lists.alreadyThere);
                    report.AddError(kHeading, QStringLiteral("FOLLOWING FILES GET ERROR WHILE RENAMING"),
                                    lists.failed);
                    Ui().ShowModal(&report);
                }
                restore();
            } catch (const RuntimeError& e) {
                description = e.description;
                throw;
            } catch (const std::exception& e) {
                description = QString::fromLocal8Bit(e.what());
                throw;
            }
        },
        [&] {
            restore();
            Ui().MsgBox(description, MsgButtons::OK, MsgIcon::Information, kAppTitle);
        });
}

void frmRenameFiles::cmdCancel_Click() {
    close();
}


int OpenRenameFiles(QWidget* owner, const clsColSetOrderGridList& files) {
    frmRenameFiles dialog(owner);
    dialog.colSelectedData = files;
    dialog.Form_Load();
    return Ui().ShowModal(&dialog);
}
