#include "app/mainwindowfactory.h"

#include "mainwindow/frmmain.h"

QWidget* createMainWindow() {
    auto* window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    return window;
}
