#include "app/icontheme.h"
#include "app/startup.h"
#include "gui/ui/qtuiservices.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UseIconTheme();
    QtUiServices ui;
    SetUi(&ui);
    // The process lives only through its windows: no window, nothing to wait for.
    int status = 0;
    if (!modMasterLayout::Main(QApplication::arguments().mid(1), &status))
        return status;
    return app.exec();
}
