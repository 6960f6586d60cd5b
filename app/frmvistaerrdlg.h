#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Start-up's message window for a data folder that cannot be written; start-up ends
// once it is closed.
class FrmVistaErrDlg : public QDialog {
    Q_OBJECT
public:
    explicit FrmVistaErrDlg(QWidget* parent = nullptr);
    ~FrmVistaErrDlg() override;

    QLabel* Label1;
    QPushButton* OKButton;

    void OKButton_Click();

private:
    void Form_Load();
};
