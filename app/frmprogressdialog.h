#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QTimer;

// The first-run notice: "Loading With Default Settings", with a bar that a 10 ms timer
// fills in 50 steps; the window closes itself once the bar is full. Until then clicks
// on it do nothing. Tests drive Timer1_Timer directly instead of waiting for the timer.
class frmProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmProgressDialog(QWidget* parent = nullptr);

    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QTimer* Timer1;

    void Timer1_Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    // Mouse on the window, the label or the bar: closes only a full bar.
    void closeWhenFull();
};
