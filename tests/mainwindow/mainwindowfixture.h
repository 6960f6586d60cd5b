#pragma once

// A main window over a private data folder, default settings and the default column
// list, the way start-up leaves them.

#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/modgeneral.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "gui/widgets/flexgrid.h"
#include "mainwindow/frmmain.h"
#include "tests/support/fakeuiservices.h"
#include "tests/support/testdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// Counts the saves so tests can tell that nothing was written.
class CountingSettings : public Settings {
public:
    int writes = 0;

protected:
    bool writeRecord(const QString& path, const QByteArray& record, int& errorNumber,
                     QString& description) override {
        ++writes;
        return Settings::writeRecord(path, record, errorNumber, description);
    }
};

struct MainWindowFixture : ::testing::Test {
    ScopedStorage storage;
    ScopedFakeUi ui;
    QTemporaryDir startFolder;
    std::unique_ptr<CountingSettings> settings = std::make_unique<CountingSettings>();
    std::unique_ptr<GridColumns> columns = std::make_unique<GridColumns>();

    MainWindowFixture() {
        settings->LoadDefaultSettings();
        settings->setStartupFolder(QDir(startFolder.path()).canonicalPath());
        AppSettings = settings.get();
        modMasterLayout::AddDefaultGridColumns(*columns);
        modMasterLayout::ApplySavedColumnWidths(*columns, settings->LastGridColWidth());
        AppGridColumns = columns.get();
        modMasterLayout::FillFilterPatterns();
        CmdLineFolder.clear();
        CmdLineFiles.clear();
    }
    ~MainWindowFixture() override {
        AppSettings = nullptr;
        AppGridColumns = nullptr;
    }

    static int col(const char* key) { return modGeneral::GetColumnIndexByKey(QString::fromUtf8(key)); }

    // Appends one result row the way the search fills them.
    static int addRow(frmMain& w, const QString& name, const QString& location = QStringLiteral("/data"),
                      const QString& pages = QString(), const QString& size = QStringLiteral("1 KB")) {
        FlexGrid* g = w.grdSearchList;
        const int r = g->AddItem();
        g->setTextMatrix(r, col("Name"), name);
        g->setTextMatrix(r, col("Location"), location);
        g->setTextMatrix(r, col("Pages"), pages);
        g->setTextMatrix(r, col("Size (In KB)"), size);
        return r;
    }

    static QStringList headers(const FlexGrid* g) {
        QStringList out;
        for (int c = 0; c < g->Cols(); ++c)
            out << g->TextMatrix(0, c);
        return out;
    }

    static QStringList column(const FlexGrid* g, const char* key) {
        QStringList out;
        for (int r = 1; r < g->Rows(); ++r)
            out << g->TextMatrix(r, col(key));
        return out;
    }

    static QList<int> checks(const FlexGrid* g) {
        QList<int> out;
        for (int r = 1; r < g->Rows(); ++r)
            out << g->CellChecked(r, col("Selection"));
        return out;
    }
};
