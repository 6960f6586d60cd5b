#pragma once

// A tool dialog whose run cannot be stopped and lets the window's events run while it goes:
// while a run is going, every request to close the window (Cancel, Escape, the close box) is
// ignored, so the window outlives the run and its controls stay where the run left them.
// Form_Load runs once, at the first show at the latest (the opener may call it before a
// modal show); Form_Unload runs once for every close.

#include <QDialog>

class ToolDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    void Form_Load();
    void Form_Unload();
    bool Running() const { return m_running; }

public slots:
    void reject() override;
    void done(int result) override;

protected:
    // The dialog's own loading (from what the opener handed over) and storing of its choices.
    virtual void load() = 0;
    virtual void unload() = 0;
    void setRunning(bool running) { m_running = running; }

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_loaded = false;
    bool m_running = false;
    bool m_unloaded = false;
};
