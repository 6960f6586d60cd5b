#include "app/frmvistaerrdlg.h"

#include "core/globals.h"
#include "core/modmasterlayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FrmVistaErrDlg::FrmVistaErrDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmVistaErrDlg"));
    Label1 = new QLabel(
        QStringLiteral("Needed Admin Permission :Cann't run without adminstrator rights in Vista\""), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &FrmVistaErrDlg::OKButton_Click);
    Form_Load();
}

FrmVistaErrDlg::~FrmVistaErrDlg() { modMasterLayout::TaskbarDeleteTab(this); }

void FrmVistaErrDlg::Form_Load() {
    setWindowTitle(kAppTitle);
    modMasterLayout::TaskbarAddTab(this);
}

void FrmVistaErrDlg::OKButton_Click() { close(); }
