#include "core/globals.h"
#include "platform/ui/qtuiservices.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtUiServices ui;
    SetUi(&ui);
    QMainWindow w;
    w.setWindowTitle(kAppTitle);
    w.resize(800, 500);
    w.show();
    return app.exec();
}
