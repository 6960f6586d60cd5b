#pragma once

// A tool dialog whose run lets the window's events run while it goes. While a run is going,
// a request to close the window (Cancel, Escape, the close box) is ignored, so the window
// outlives the run and its controls stay where the run left them; a dialog whose run can be
// stopped stops it instead and closes once the run has ended (stopRunToClose).
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
    // Leaving a run closes the window when a close was asked for meanwhile.
    void setRunning(bool running);
    // A request to close during a run: true when it asked the run to stop, so the window
    // closes once the run ends. By default the run cannot be stopped and the request is ignored.
    virtual bool stopRunToClose() { return false; }

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void closeDuringRun();

    bool m_loaded = false;
    bool m_closeAfterRun = false;
    bool m_running = false;
    bool m_unloaded = false;
};
