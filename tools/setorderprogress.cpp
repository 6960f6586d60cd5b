#include "tools/setorderprogress.h"

#include "core/globals.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QThread>

namespace {

void showOnBar(int done) {
    if (SetOrderForm.isNull()) return;
    if (auto* bar = SetOrderForm->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))) bar->setValue(done);
}

} // namespace

RunProgress SetOrderProgress() {
    return [](int done, int, const QString&) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return; // no windows, no bar
        if (QThread::currentThread() == app->thread())
            showOnBar(done);
        else
            QMetaObject::invokeMethod(app, [done] { showOnBar(done); }, Qt::QueuedConnection);
    };
}
