#include "bench/benchwindow.h"

#include "app/icontheme.h"
#include "core/globals.h"
#include "core/modgeneral.h"
#include "core/startuptables.h"
#include "platform/imaging/pagecount/pdfpagecounter.h"
#include "platform/imaging/pagecount/tiffpagecounter.h"

#include <QDir>
#include <cstdio>

MsgAnswer PrintingUi::MsgBox(const QString& text, MsgButtons, MsgIcon, const QString&) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return MsgAnswer::OK;
}

BenchProcess::BenchProcess(bool pagesShown) {
    StoragePath = m_scratch.path() + QStringLiteral("/Brevart Technologies/Quillmere 3.1");
    StoragePathSlash = modGeneral::ValidateDir(StoragePath);
    const QString startFolder = m_scratch.path() + QStringLiteral("/start");
    if (!QDir().mkpath(StoragePath) || !QDir().mkpath(startFolder)) return;
    m_previousUi = SetUi(&ui);
    UseIconTheme();

    AppSettings = &settings;
    settings.LoadDefaultSettings();
    settings.setStartupFolder(startFolder);
    AppGridColumns = &columns;
    modMasterLayout::AddDefaultGridColumns(columns);
    modMasterLayout::ApplySavedColumnWidths(columns, settings.LastGridColWidth());
    modMasterLayout::FillFilterPatterns();
    QStringList visibility = settings.ColumnVisibility().split(QLatin1Char(','));
    const int pagesColumn = modGeneral::GetColumnIndexByKey(QStringLiteral("Pages"));
    if (pagesColumn < visibility.size())
        visibility[pagesColumn] = pagesShown ? QStringLiteral("1") : QStringLiteral("0");
    settings.setColumnVisibility(visibility.join(QLatin1Char(',')));
    m_pdf = makePdfPageCounter();
    m_tiff = makeTiffPageCounter();
    PdfPageCounter = m_pdf.get();
    TiffPageCounter = m_tiff.get();
    m_ok = true;
}

BenchProcess::~BenchProcess() {
    PdfPageCounter = TiffPageCounter = nullptr;
    AppGridColumns = nullptr;
    AppSettings = nullptr;
    if (m_ok) SetUi(m_previousUi);
}
