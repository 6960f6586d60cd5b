#include "tools/tooldialog.h"

#include "core/errortrap.h"

#include <QCloseEvent>

void ToolDialog::Form_Load() {
    if (m_loaded) return;
    m_loaded = true;
    load();
}

void ToolDialog::Form_Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
    unload();
}

void ToolDialog::showEvent(QShowEvent* event) {
    Form_Load();
    m_unloaded = false;
    QDialog::showEvent(event);
}

void ToolDialog::setRunning(bool running) {
    m_running = running;
    if (running || !m_closeAfterRun) return;
    m_closeAfterRun = false;
    quietly([&] { done(QDialog::Rejected); });
}

void ToolDialog::closeDuringRun() {
    if (stopRunToClose()) m_closeAfterRun = true;
}

// Every way of closing comes through here or reject().
void ToolDialog::closeEvent(QCloseEvent* event) {
    if (m_running) {
        closeDuringRun();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
    if (event->isAccepted()) Form_Unload();
}

void ToolDialog::reject() {
    if (m_running) {
        closeDuringRun();
        return;
    }
    QDialog::reject();
}

void ToolDialog::done(int result) {
    if (m_running) {
        closeDuringRun();
        return;
    }
    Form_Unload();
    QDialog::done(result);
}
