#pragma once

// The about box: the product's name and two links to us, the support address (a new mail
// in the user's mail program) and the web site (the user's browser).

#include <QDialog>
#include <QLabel>

class QPushButton;

// Where users reach us; the main window's web-site command opens the same address.
inline const QString kSupportEmail = QStringLiteral("support@brevart.example");
inline const QString kWebAddress = QStringLiteral("https://www.brevart.example");

// A label that answers a click, drawn as a link.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    void Form_Load();
    void cmdQuit_Click();
    void lblSupportEmail_Click();
    void lblWebsite_Click();

    QLabel* lblProductName = nullptr;
    LinkLabel* lblSupportEmail = nullptr;
    LinkLabel* lblWebsite = nullptr;
    QPushButton* cmdQuit = nullptr;
};
