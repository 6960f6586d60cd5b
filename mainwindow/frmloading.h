#pragma once

// The small busy window the search shows while it walks folders: an animated
// hourglass in its top-left corner and a running count of the files found.

#include <QDialog>
#include <QString>
#include <memory>

class cAniCursor;
class QFrame;
class QTimer;

class frmLoading : public QDialog {
    Q_OBJECT

public:
    explicit frmLoading(QWidget* owner = nullptr);
    ~frmLoading() override;

    // Shows "Please wait.Loading...files (N)" centred in pnlStatus.
    void UpdateStatus(int vFiles);
    // The line pnlStatus shows.
    QString StatusText() const { return m_status; }
    // The hourglass (null until the window first loads).
    const cAniCursor* Cursor() const { return m_cursor.get(); }

    // Handlers. Showing the window loads it; closing it (not a user's attempt) unloads it.
    void Form_Load();
    void Form_Unload();
    // One animation step: the next frame, then a repaint of the hourglass's square.
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintStatus();

    QFrame* pnlStatus;
    QTimer* Timer1;
    std::unique_ptr<cAniCursor> m_cursor; // kept across unload and a later load
    QString m_status;
    bool m_loaded = false;
};
