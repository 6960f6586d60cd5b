#include "app/frmprogressdialog.h"

#include "core/errortrap.h"
#include "core/globals.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr QStringView kOwner = u" of Form frmProgressDialog at time";
}

frmProgressDialog::frmProgressDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProgressDialog"));
    Label1 = new QLabel(QStringLiteral("Loading With Default Settings"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    setMinimumWidth(320);

    connect(Timer1, &QTimer::timeout, this, &frmProgressDialog::Timer1_Timer);
    for (QObject* o : {static_cast<QObject*>(this), static_cast<QObject*>(Label1),
                       static_cast<QObject*>(ProgressBar1)})
        o->installEventFilter(this);
    setMouseTracking(true);
    Form_Load();
    Timer1->start();
}

void frmProgressDialog::Form_Load() {
    trap(u"Form_Load", kOwner, [&] {
        setWindowTitle(kAppTitle);
        ProgressBar1->setMinimum(0);
        ProgressBar1->setMaximum(50);
        ProgressBar1->setValue(0);
    });
}

void frmProgressDialog::Timer1_Timer() {
    trap(u"Timer1_Timer", kOwner, [&] {
        if (ProgressBar1->value() >= ProgressBar1->maximum()) {
            ProgressBar1->setValue(ProgressBar1->maximum());
            Timer1->stop();
            accept();
        } else {
            ProgressBar1->setValue(ProgressBar1->value() + 1);
        }
    });
}

void frmProgressDialog::closeWhenFull() {
    if (ProgressBar1->value() >= ProgressBar1->maximum())
        accept();
}

bool frmProgressDialog::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    const bool press = t == QEvent::MouseButtonPress;
    const bool move = t == QEvent::MouseMove;
    const bool anyMouse = press || move || t == QEvent::MouseButtonRelease || t == QEvent::MouseButtonDblClick;
    if ((watched == this && (press || move)) || (watched == Label1 && press) ||
        (watched == ProgressBar1 && anyMouse))
        closeWhenFull();
    return QDialog::eventFilter(watched, event);
}
