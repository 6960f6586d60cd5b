#include "mainwindow/frmabout.h"

#include "core/errortrap.h"
#include "core/globals.h"
#include "core/modmasterlayout.h"
#include "core/uiservices.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr auto kOwner = u" of Form frmAbout";
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    setPalette(p);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    lblProductName = new QLabel(this);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont big = lblProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblProductName->setFont(big);
    lblSupportEmail = new LinkLabel(this);
    lblSupportEmail->setObjectName(QStringLiteral("lblSupportEmail"));
    lblWebsite = new LinkLabel(this);
    lblWebsite->setObjectName(QStringLiteral("lblWebsite"));
    cmdQuit = new QPushButton(QStringLiteral("&OK"), this);
    cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    cmdQuit->setDefault(true);
    // The links take Enter themselves: the box opens with the focus on "&OK", so Enter
    // closes it instead of starting a mail.
    cmdQuit->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(10);
    layout->addWidget(lblProductName);
    layout->addSpacing(6);
    layout->addWidget(lblSupportEmail);
    layout->addWidget(lblWebsite);
    layout->addSpacing(10);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdQuit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdQuit, &QPushButton::clicked, this, &frmAbout::cmdQuit_Click);
    connect(lblSupportEmail, &LinkLabel::clicked, this, &frmAbout::lblSupportEmail_Click);
    connect(lblWebsite, &LinkLabel::clicked, this, &frmAbout::lblWebsite_Click);
    Form_Load();
}

void frmAbout::Form_Load() {
    trap(u"Form_Load", kOwner, [&] {
        lblProductName->setText(kAppTitle);
        setWindowTitle(QStringLiteral("About ") + kAppTitle);
        lblSupportEmail->setText(QStringLiteral("Support at: ") + kSupportEmail);
        lblWebsite->setText(QStringLiteral("Website:") + kWebAddress);
    });
}

void frmAbout::cmdQuit_Click() {
    trap(u"cmdQuit_Click", kOwner, [&] { accept(); });
}

void frmAbout::lblSupportEmail_Click() {
    trap(u"lblSupportEmail_Click", kOwner, [&] {
        modMasterLayout::ShellOpen(QStringLiteral("open"),
                                   QStringLiteral("mailto:") + kSupportEmail + QStringLiteral("?subject=") + kAppTitle);
    });
}

void frmAbout::lblWebsite_Click() {
    trap(u"lblWebsite_Click", kOwner,
         [&] { modMasterLayout::ShellOpen(QStringLiteral("open"), modMasterLayout::TrimNull(kWebAddress)); });
}
