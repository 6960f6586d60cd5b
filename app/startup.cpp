#include "app/startup.h"

#include "app/frmprogressdialog.h"
#include "app/frmvistaerrdlg.h"
#include "app/mainwindowfactory.h"
#include "core/errortrap.h"
#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/modmasterlayout.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "core/storagefolder.h"
#include "core/uiservices.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "platform/imaging/pagecount/tiffpagecounter.h"

#include <QFile>
#include <QWidget>
#include <cstdio>
#include <memory>

namespace modMasterLayout {

namespace {

// Owners of the process-wide objects; the globals point into them. Start-up makes
// them afresh each time it runs.
std::unique_ptr<Settings> s_settings;
std::unique_ptr<GridColumns> s_columns;
std::unique_ptr<PageCounter> s_pdfCounter;
std::unique_ptr<PageCounter> s_tiffCounter;

} // namespace

bool Main(const QStringList& arguments, int* exitStatus) {
    bool opened = false;
    int status = 0;
    trap(u"Main", u" of Module modMasterLayout at time", [&] {
        // Each argument is one path (file managers pass several); the command text
        // separates paths with "|", and one argument is taken as it stands.
        const QString commandLine = arguments.join(QLatin1Char('|'));
        if (!commandLine.isEmpty())
            ValidateCmdLine(commandLine);

        StoragePath.clear();
        if (!GetStorageFolder()) {
            // No window says so; the caller and whoever started us learn it all the same.
            if (!StoragePath.isEmpty())
                std::fprintf(stderr, "quillmere: cannot create the data folder %s\n",
                             QFile::encodeName(StoragePath).constData());
            status = 1;
            return;
        }
        StoragePathSlash = modGeneral::ValidateDir(StoragePath);

        if (IsWindowsVistaFamily() && !CanWriteFile(StoragePathSlash + QStringLiteral("Testtemp.sys"))) {
            FrmVistaErrDlg dialog;
            Ui().ShowModal(&dialog);
            return;
        }

        s_settings = std::make_unique<Settings>();
        AppSettings = s_settings.get();
        if (!AppSettings->LoadSettings()) {
            frmProgressDialog notice;
            Ui().ShowModal(&notice);
            AppSettings->LoadDefaultSettings();
        }

        s_columns = std::make_unique<GridColumns>();
        AppGridColumns = s_columns.get();
        AddDefaultGridColumns(*AppGridColumns);
        ApplySavedColumnWidths(*AppGridColumns, AppSettings->LastGridColWidth());

        FillFilterPatterns();

        s_pdfCounter = makePdfPageCounter();
        PdfPageCounter = s_pdfCounter.get();
        s_tiffCounter = makeTiffPageCounter();
        TiffPageCounter = s_tiffCounter.get();

        QWidget* window = createMainWindow();
        window->show();
        opened = true;
    });
    if (exitStatus) *exitStatus = status;
    return opened;
}

} // namespace modMasterLayout
