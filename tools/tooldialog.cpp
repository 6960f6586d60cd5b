#include "tools/tooldialog.h"

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

// Every way of closing comes through here or reject().
void ToolDialog::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
    if (event->isAccepted()) Form_Unload();
}

void ToolDialog::reject() {
    if (m_running) return;
    QDialog::reject();
}

void ToolDialog::done(int result) {
    if (m_running) return;
    Form_Unload();
    QDialog::done(result);
}
