#include "mainwindow/frmpreferences.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/modshell.h"
#include "core/settings.h"
#include "core/vbruntime.h"
#include "gui/widgets/flexgrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr auto kOwner = u" of Form frmPreferences at time";

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QPushButton* button(const char* name, const char* caption) {
    return named(new QPushButton(QString::fromLatin1(caption)), name);
}

const QString& elementAt(const QStringList& list, qsizetype i) {
    if (i < 0 || i >= list.size()) raiseError(9);
    return list.at(i);
}
} // namespace

frmPreferences::frmPreferences(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPreferences"));
    setWindowTitle(QStringLiteral("Set Preferences"));
    buildControls();
    Form_Load();
}

void frmPreferences::buildControls() {
    vsColumnSettings = named(new FlexGrid, "vsColumnSettings");
    cmdUp = button("cmdUp", "UP");
    cmdDown = button("cmdDown", "DOWN");
    cmdSelectAll = button("cmdSelectAll", "Select A&ll");
    cmdDeselectAll = button("cmdDeselectAll", "&Deselect All");
    cmdInvertSelection = button("cmdInvertSelection", "&Invert Selection");
    fraColumnSettings = named(new QGroupBox(QStringLiteral("Column Settings")), "fraColumnSettings");
    auto* columns = new QGridLayout(fraColumnSettings);
    columns->addWidget(vsColumnSettings, 0, 0, 4, 1);
    columns->addWidget(cmdUp, 0, 1);
    columns->addWidget(cmdDown, 1, 1);
    columns->setRowStretch(2, 1);
    auto* ticks = new QHBoxLayout;
    ticks->addWidget(cmdSelectAll);
    ticks->addWidget(cmdDeselectAll);
    ticks->addWidget(cmdInvertSelection);
    ticks->addStretch(1);
    columns->addLayout(ticks, 4, 0, 1, 2);

    chkDefaultWindowState = named(new QCheckBox(QStringLiteral("Default &Window State")), "chkDefaultWindowState");
    cmbDefaultWindowState = named(new QComboBox, "cmbDefaultWindowState");
    fraWindowState = named(new QGroupBox(QStringLiteral("Window State")), "fraWindowState");
    auto* state = new QHBoxLayout(fraWindowState);
    state->addWidget(chkDefaultWindowState);
    state->addWidget(cmbDefaultWindowState, 1);

    chkLastGridColWidth = named(new QCheckBox(QStringLiteral("Apply last columns widt&h")), "chkLastGridColWidth");
    chkSortbyNumeric = named(new QCheckBox(QStringLiteral("Allow &numeric sorting in filename")), "chkSortbyNumeric");
    lblStartupFolder = named(new QLabel(QStringLiteral("Sta&rtup Folder")), "lblStartupFolder");
    txtStartUpFolder = named(new QLineEdit, "txtStartUpFolder");
    lblStartupFolder->setBuddy(txtStartUpFolder);
    cmdStartupFolder = button("cmdStartupFolder", "...");
    cmdStartupFolder->setFixedWidth(32);
    fraProgram = named(new QGroupBox(QStringLiteral("General Settings")), "fraProgram");
    auto* program = new QGridLayout(fraProgram);
    program->addWidget(chkLastGridColWidth, 0, 0, 1, 3);
    program->addWidget(chkSortbyNumeric, 1, 0, 1, 3);
    program->addWidget(lblStartupFolder, 2, 0);
    program->addWidget(txtStartUpFolder, 2, 1);
    program->addWidget(cmdStartupFolder, 2, 2);
    program->setColumnStretch(1, 1);

    auto* general = new QWidget;
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(fraWindowState);
    generalLayout->addWidget(fraProgram);
    generalLayout->addStretch(1);
    auto* columnsPage = new QWidget;
    auto* columnsLayout = new QVBoxLayout(columnsPage);
    columnsLayout->addWidget(fraColumnSettings);
    tabPreferences = named(new QTabWidget, "tabPreferences");
    tabPreferences->addTab(columnsPage, QStringLiteral("Columns"));
    tabPreferences->addTab(general, QStringLiteral("General"));

    cmdOK = button("cmdOK", "&Save");
    cmdCancel = button("cmdCancel", "&Cancel");
    cmdSetDefault = button("cmdSetDefault", "Set De&fault");
    cmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSetDefault);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabPreferences);
    layout->addLayout(buttons);
    resize(480, 380);

    connect(cmdUp, &QPushButton::clicked, this, &frmPreferences::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmPreferences::cmdDown_Click);
    connect(cmdSelectAll, &QPushButton::clicked, this, &frmPreferences::cmdSelectAll_Click);
    connect(cmdDeselectAll, &QPushButton::clicked, this, &frmPreferences::cmdDeselectAll_Click);
    connect(cmdInvertSelection, &QPushButton::clicked, this, &frmPreferences::cmdInvertSelection_Click);
    connect(cmdStartupFolder, &QPushButton::clicked, this, &frmPreferences::cmdStartupFolder_Click);
    connect(chkDefaultWindowState, &QCheckBox::clicked, this, &frmPreferences::chkDefaultWindowState_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmPreferences::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPreferences::cmdCancel_Click);
    connect(cmdSetDefault, &QPushButton::clicked, this, &frmPreferences::cmdSetDefault_Click);
}

void frmPreferences::Form_Load() {
    FillComboBox();
    IsPreferanceChange = false;
    LoadPreferenceControls();
    InitColumnSettings();
}

void frmPreferences::FillComboBox() {
    trap(u"FillComboBox", kOwner, [&] {
        cmbDefaultWindowState->clear();
        cmbDefaultWindowState->addItems(
            {QStringLiteral("Maximum"), QStringLiteral("Minimum"), QStringLiteral("Last Remembered Size")});
        cmbDefaultWindowState->setCurrentIndex(0);
    });
}

void frmPreferences::LoadPreferenceControls() {
    chkDefaultWindowState->setChecked(AppSettings->WindowStateFlag() == 1);
    chkDefaultWindowState_Click();
    cmbDefaultWindowState->setCurrentIndex(AppSettings->WindowStateValue());
    chkLastGridColWidth->setChecked(AppSettings->LastGridColWidthFlag() == 1);
    chkSortbyNumeric->setChecked(AppSettings->SortbyNumeric() == 1);
    txtStartUpFolder->setText(AppSettings->StartupFolder());
}

void frmPreferences::chkDefaultWindowState_Click() {
    trap(u"chkDefaultWindowState_Click", kOwner, [&] {
        const bool on = chkDefaultWindowState->isChecked();
        cmbDefaultWindowState->setEnabled(on);
        const QColor background = on ? QColor(0xFFFFFF) : QColor(0xE0E0E0);
        QPalette p = cmbDefaultWindowState->palette();
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button}) {
            p.setColor(QPalette::Active, role, background);
            p.setColor(QPalette::Inactive, role, background);
            p.setColor(QPalette::Disabled, role, background);
        }
        cmbDefaultWindowState->setPalette(p);
    });
}

void frmPreferences::InitColumnSettings() {
    trap(u"InitColumnSettings", kOwner, [&] {
        FlexGrid* g = vsColumnSettings;
        g->setRows(1);
        g->setCols(4);
        const std::pair<const char*, int> heads[] = {{"Sr#", 500}, {"Column Name", 1500}, {"Visible", 700},
                                                     {"WIDTH", 700}};
        for (int c = 0; c < 4; ++c) {
            g->setTextMatrix(0, c, QString::fromLatin1(heads[c].first));
            g->setColWidth(c, heads[c].second);
        }
        g->setColDataType(ColVisible, flexDTBoolean);
        g->setColAlignment(ColVisible, Qt::AlignCenter);
        g->setColAlignment(ColSr, Qt::AlignCenter);
        // Only the "Visible" boxes can be changed: the grid never edits text cells, so a
        // key or column name can never be typed over.
        g->setEditable(true);

        arrLastGridColWidth = AppSettings->LastGridColWidth().split(QLatin1Char(','));
        arrColumnVisibility = AppSettings->ColumnVisibility().split(QLatin1Char(','));
        arrColumnReOrder = AppSettings->ColumnReOrder().split(QLatin1Char(','));
        // A width the stored list lacks (or that is no number) leaves the column its own: a
        // damaged list must not cost the rows, or "Save" would store three empty lists.
        for (int k = 1; k <= AppGridColumns->Count(); ++k)
            quietly([&] {
                AppGridColumns->Item(k)->ColumnWidth = vb::CSng(elementAt(arrLastGridColWidth, k - 1));
            });

        int k = 0;
        for (const GridColumns::ColumnPtr& c : *AppGridColumns) {
            ++k;
            const int r = g->AddItem({QString::number(k), c->ColumnKey, QString(), QString::number(double(c->ColumnWidth), 'g', 7)});
            // A column beyond the stored flags is shown in the grid, so its box is ticked.
            if (arrColumnVisibility.size() > 1)
                g->setCellChecked(r, ColVisible,
                                  k > arrColumnVisibility.size() || arrColumnVisibility.at(k - 1) == QLatin1String("1")
                                      ? flexChecked
                                      : flexUnchecked);
        }
        if (g->Rows() > 1) g->Select(1, ColName);
    });
}

void frmPreferences::moveCurrentRow(int by) {
    FlexGrid* g = vsColumnSettings;
    const int r = g->Row();
    const int col = std::max(g->Col(), 0);
    g->RowPosition(r, r + by);
    g->Select(r + by, col);
    for (int i = 1; i < g->Rows(); ++i)
        g->setTextMatrix(i, ColSr, QString::number(i));
}

void frmPreferences::cmdUp_Click() {
    trap(u"cmdUp_Click", kOwner, [&] {
        if (vsColumnSettings->Row() < 2) return;
        moveCurrentRow(-1);
    });
}

void frmPreferences::cmdDown_Click() {
    trap(u"cmdDown_Click", kOwner, [&] {
        const int r = vsColumnSettings->Row();
        if (r >= vsColumnSettings->Rows() - 1 || r < 1) return;
        moveCurrentRow(1);
    });
}

void frmPreferences::cmdSelectAll_Click() {
    FlexGrid* g = vsColumnSettings;
    if (g->Rows() > 1) g->setCellCheckedRange(1, ColVisible, g->Rows() - 1, ColVisible, flexChecked);
}

void frmPreferences::cmdDeselectAll_Click() {
    FlexGrid* g = vsColumnSettings;
    if (g->Rows() > 1) g->setCellCheckedRange(1, ColVisible, g->Rows() - 1, ColVisible, flexUnchecked);
}

void frmPreferences::cmdInvertSelection_Click() {
    trap(u"cmdInvertSelection_Click", kOwner, [&] {
        FlexGrid* g = vsColumnSettings;
        for (int r = 1; r < g->Rows(); ++r)
            g->setCellChecked(r, ColVisible, g->CellChecked(r, ColVisible) == flexChecked ? flexUnchecked : flexChecked);
    });
}

void frmPreferences::cmdStartupFolder_Click() {
    const QString folder =
        ModShell::BrowseForFolder(this, txtStartUpFolder->text(), QStringLiteral("Please select a folder:"));
    if (!folder.isEmpty()) txtStartUpFolder->setText(folder);
}

void frmPreferences::cmdOk_Click() {
    trap(u"cmdOk_Click", kOwner, [&] {
        FlexGrid* g = vsColumnSettings;
        QStringList visibility, order, widths;
        for (int r = 1; r < g->Rows(); ++r) {
            visibility << (g->CellChecked(r, ColVisible) == flexChecked ? QStringLiteral("1") : QStringLiteral("0"));
            order << g->TextMatrix(r, ColName);
            widths << g->TextMatrix(r, ColWidth);
        }
        const QChar comma(u',');
        AppSettings->setColumnVisibility(visibility.join(comma));
        AppSettings->setColumnReOrder(order.join(comma));
        AppSettings->setLastGridColWidth(widths.join(comma));
        arrColumnVisibility = AppSettings->ColumnVisibility().split(comma);
        arrColumnReOrder = AppSettings->ColumnReOrder().split(comma);
        arrLastGridColWidth = AppSettings->LastGridColWidth().split(comma);

        AppSettings->setStartupFolder(txtStartUpFolder->text());
        const bool state = chkDefaultWindowState->isChecked();
        AppSettings->setWindowStateFlag(state ? 1 : 0);
        AppSettings->setWindowStateValue(state ? uint8_t(cmbDefaultWindowState->currentIndex()) : 0);
        AppSettings->setLastGridColWidthFlag(chkLastGridColWidth->isChecked() ? 1 : 0);
        AppSettings->setSortbyNumeric(chkSortbyNumeric->isChecked() ? 1 : 0);
        IsPreferanceChange = true;
        accept();
    });
}

void frmPreferences::cmdCancel_Click() {
    reject();
}

void frmPreferences::cmdSetDefault_Click() {
    trap(u"cmdSetDefault_Click", kOwner, [&] {
        AppSettings->LoadDefaultSettings();
        AppSettings->LoadSettings();
        // The column list takes the default order too, so the rows show it and "Save" stores
        // the default lists rather than the old order with other columns' widths.
        modGeneral::LoadGridColumns();
        LoadPreferenceControls();
        InitColumnSettings();
        IsPreferanceChange = true;
    });
}
