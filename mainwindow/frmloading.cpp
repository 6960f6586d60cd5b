#include "mainwindow/frmloading.h"

#include "core/errortrap.h"
#include "gui/cursor/canicursor.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>

namespace {
constexpr int kCursorLeft = 16;
constexpr int kCursorTop = 16;
constexpr int kTickMs = 100;
} // namespace

frmLoading::frmLoading(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), pnlStatus(new QFrame(this)),
      Timer1(new QTimer(this)) {
    setObjectName(QStringLiteral("frmLoading"));
    setWindowTitle(QStringLiteral("Quillmere 3.1"));
    setModal(false);
    // The search goes on in the owner; the busy window must not take the keyboard from it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(330, 64);

    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    pnlStatus->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pnlStatus->setGeometry(60, 12, width() - 72, height() - 24);
    pnlStatus->setAutoFillBackground(true); // each paint starts from a clear panel
    pnlStatus->installEventFilter(this);

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTickMs);
    connect(Timer1, &QTimer::timeout, this, &frmLoading::Timer1_Timer);
}

frmLoading::~frmLoading() = default;

void frmLoading::Form_Load() {
    if (!m_cursor) m_cursor = std::make_unique<cAniCursor>();
    // Without its hourglass the window still counts; the search never depends on it.
    quietly([&] { m_cursor->LoadFromResource(101, false, 0, false); });
    UpdateStatus(0);
    m_loaded = true;
    Timer1->start();
}

void frmLoading::Form_Unload() {
    Timer1->stop();
    m_loaded = false;
}

void frmLoading::UpdateStatus(int vFiles) {
    m_status = QStringLiteral("Please wait.Loading...files (") + QString::number(vFiles) + QLatin1Char(')');
    pnlStatus->update();
}

void frmLoading::Timer1_Timer() {
    if (!m_cursor) return;
    quietly([&] { m_cursor->Step(); });
    const QSize size = m_cursor->FrameSize();
    if (!size.isEmpty()) update(QRect(QPoint(kCursorLeft, kCursorTop), size));
}

void frmLoading::showEvent(QShowEvent* event) {
    if (!m_loaded) Form_Load();
    if (QWidget* owner = parentWidget(); owner && !event->spontaneous())
        move(owner->window()->frameGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void frmLoading::hideEvent(QHideEvent* event) {
    // A minimised owner hides us too; only a real close unloads.
    if (!event->spontaneous() && m_loaded) Form_Unload();
    QDialog::hideEvent(event);
}

void frmLoading::closeEvent(QCloseEvent* event) {
    // The search closes the window when its walk ends; the user cannot.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmLoading::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog; this window takes no input.
    event->ignore();
}

void frmLoading::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1)); // frameless, so draw our own edge
    if (m_cursor) quietly([&] { m_cursor->Draw(painter, kCursorLeft, kCursorTop, 0, 0, -1); });
}

bool frmLoading::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlStatus && event->type() == QEvent::Paint) {
        paintStatus();
        return false; // the frame draws its edge after the text
    }
    return QDialog::eventFilter(watched, event);
}

void frmLoading::paintStatus() {
    QPainter painter(pnlStatus);
    painter.setFont(pnlStatus->font());
    painter.setPen(pnlStatus->palette().color(QPalette::WindowText));
    const QFontMetrics metrics(pnlStatus->font());
    const QRect area = pnlStatus->contentsRect();
    const int left = area.left() + (area.width() - metrics.horizontalAdvance(m_status)) / 2;
    const int top = area.top() + (area.height() - metrics.height()) / 2;
    painter.drawText(left, top + metrics.ascent(), m_status);
}
