#include "tools/setorderprogress.h"

#include "core/workerrun.h"

#include <QCoreApplication>
#include <QProgressBar>

QPointer<QObject> SetOrderForm;

namespace {

void showOnBar(int done) {
    if (SetOrderForm.isNull()) return;
    if (auto* bar = SetOrderForm->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))) bar->setValue(done);
}

} // namespace

RunProgress SetOrderProgress() {
    return [](int done, int, const QString&) {
        // No application, no windows, no bar.
        workerrun::Deliver(QCoreApplication::instance(), [done] { showOnBar(done); });
    };
}
