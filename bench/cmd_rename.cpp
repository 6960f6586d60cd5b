// quillmere-bench rename DIR [COUNT]
// The renaming dialog as a user runs it: COUNT (default 10000) small files are made in a
// scratch folder under DIR, handed to the dialog's opener with page counts, and the dialog
// previews "name_0007.ext" names and applies them. Prints the files not renamed, then
// "renamed N of M preview seconds S apply seconds S".

#include "bench/benchcommand.h"
#include "bench/benchwindow.h"
#include "core/globals.h"
#include "tools/frmrenamefiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int runRename(const QStringList& args) {
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: quillmere-bench rename DIR [COUNT]\n");
        return 2;
    }
    const int count = args.size() > 1 ? args.at(1).toInt() : 10000;
    if (count < 1 || !qobject_cast<QApplication*>(QCoreApplication::instance())) return 2;
    QDir().mkpath(args.front());
    QTemporaryDir files(QDir(args.front()).absoluteFilePath(QStringLiteral("rename-bench-XXXXXX")));
    if (!files.isValid()) return 1;
    BenchProcess process(true);
    if (!process.ok()) return 1;
    arrColumnVisibility = process.settings.ColumnVisibility().split(QLatin1Char(','));

    clsColSetOrderGridList records;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("scan%1.%2").arg(i).arg(i % 2 ? QStringLiteral("tif") : QStringLiteral("pdf"));
        QFile f(files.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write("x") != 1) return 1;
        clsColSetOrderGrid record;
        record.setFilename(name);
        record.setFileLocation(files.path());
        record.setPageCount(i % 997 + 1);
        records.append(record);
    }

    qint64 previewNs = 0, applyNs = 0;
    process.ui.onShowModal = [&](QObject* dialog) {
        auto* d = qobject_cast<frmRenameFiles*>(dialog);
        if (!d) return 0;
        d->show();
        d->txtPaddingMask->setText(QStringLiteral("0000"));
        d->OptSufAsPageCnt->click();
        d->txtSepSuffix->setText(QStringLiteral("_"));
        QElapsedTimer clock;
        clock.start();
        d->cmdPreview->click();
        previewNs = clock.nsecsElapsed();
        clock.restart();
        d->cmdOk->click();
        applyNs = clock.nsecsElapsed();
        return 1;
    };
    OpenRenameFiles(nullptr, records);

    int renamed = 0;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("scan%1_%2.%3")
                                 .arg(i)
                                 .arg(i % 997 + 1, 4, 10, QLatin1Char('0'))
                                 .arg(i % 2 ? QStringLiteral("tif") : QStringLiteral("pdf"));
        if (QFile::exists(files.filePath(name)))
            ++renamed;
        else
            std::printf("not renamed %s\n", qPrintable(name));
    }
    std::printf("renamed %d of %d preview seconds %s apply seconds %s\n", renamed, count,
                qPrintable(benchSeconds(previewNs)), qPrintable(benchSeconds(applyNs)));
    return renamed == count ? 0 : 1;
}

const BenchCommand command("rename", "DIR [COUNT]", &runRename);

} // namespace
